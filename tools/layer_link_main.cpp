// Linked with one core layer whole and the layers below it: an undefined symbol means the layer calls
// into a layer above it.
int main() {
    return 0;
}
