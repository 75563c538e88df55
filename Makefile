# Entry points: `make run` and `make test` do all set-up on a fresh Debian 12 machine.
# Build jobs: make's own -j when given (`make build -j3`), else every core. Read as the recipe runs:
# make 4.3 puts -j into MAKEFLAGS only then.
JOBS ?= $(or $(patsubst -j%,%,$(lastword $(filter -j%,$(MAKEFLAGS)))),$(shell nproc))
CMAKE_GEN := -G Ninja
FUZZ_SECONDS ?= 20
# CI builds with WERROR=ON: every warning fails the build.
WERROR ?= OFF
# CI builds with DEBUG_INFO=OFF: -g changes no generated code, and writing it is a good part of the
# build's time.
DEBUG_INFO ?= ON
PREFIX ?= /usr/local

.PHONY: all deps build run test test-asan test-tsan bench bench-check fuzz fuzz-check format format-check install loc clean screenshots soak

all: build

deps:
	@tools/deps.sh

build: deps
	cmake -S . -B build $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTC_WERROR=$(WERROR) \
		-DTC_DEBUG_INFO=$(DEBUG_INFO)
	cmake --build build -j $(JOBS)

# The loopback test server in the background and the client in simulation mode; closing the client
# stops the server. It needs a display; without one `make screenshots` shows the windows.
run:
	@if [ -z "$$DISPLAY" ] && [ -z "$$WAYLAND_DISPLAY" ]; then \
		echo "make run: no display (neither DISPLAY nor WAYLAND_DISPLAY is set); make screenshots renders the windows without one"; \
		exit 1; \
	fi
	@$(MAKE) --no-print-directory build
	@tools/run.sh

# Every window and sheet rendered offscreen in both themes, as PNG files under build/screenshots/.
# LANGUAGES=all (or folders apart by commas: fr,ar,zh-Hans) writes the login and the main window in
# each language instead, as <window>-<folder>-dark.png and -light.png.
LANGUAGES ?=
screenshots: build
	rm -rf build/screenshots
	build/tradegui_screens build/screenshots $(if $(LANGUAGES),--languages $(LANGUAGES))

# The program signed in offscreen against the in-process test server for SOAK_MINUTES at SOAK_RATE
# quotes a second; fails when RSS or the heap in use grows by 1 MiB or more after the first minute.
SOAK_MINUTES ?= 10
SOAK_RATE ?= 1000
soak: build
	build/tradegui_soak --minutes $(SOAK_MINUTES) --rate $(SOAK_RATE)

test: build
	cd build && ctest --output-on-failure -j $(JOBS) --timeout 300

test-asan: deps
	cmake -S . -B build-asan $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Debug -DTC_SANITIZE=ON
	cmake --build build-asan -j $(JOBS)
	cd build-asan && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
		ctest --output-on-failure -j $(JOBS) --timeout 600

test-tsan: deps
	cmake -S . -B build-tsan $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Debug -DTC_TSAN=ON
	cmake --build build-tsan -j $(JOBS)
	cd build-tsan && TSAN_OPTIONS="halt_on_error=1 suppressions=$(CURDIR)/tsan.supp" ctest --output-on-failure -j $(JOBS) --timeout 600

BENCH_CONFIGURE = cmake -S . -B build-bench $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Release -DTC_BENCH=ON \
	-DTC_WERROR=$(WERROR)

bench:
	@tools/deps.sh bench
	$(BENCH_CONFIGURE)
	cmake --build build-bench -j $(JOBS) --target tradecore_bench
	build-bench/tradecore_bench

# The benchmarks' own sources checked by the compiler (-fsyntax-only) in build-bench's setting, the
# files they read generated first: CI's proof that they still compile against the program's
# interfaces, without building the program a second time.
bench-check:
	@tools/deps.sh bench
	$(BENCH_CONFIGURE)
	tools/syntax_check.py build-bench $(JOBS) --target tradecore_bench --sources bench

# The libFuzzer targets' build with clang, in build-fuzz.
FUZZ_CONFIGURE = CC=clang CXX=clang++ cmake -S . -B build-fuzz $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	-DTC_FUZZ=ON -DTC_WERROR=$(WERROR)

# Each libFuzzer target runs FUZZ_SECONDS on a scratch copy of its corpus; new finds stay in build-fuzz.
fuzz: deps
	$(FUZZ_CONFIGURE)
	cmake --build build-fuzz -j $(JOBS)
	@set -e; for f in fuzz/*_fuzz.cpp; do \
		name=$$(basename $$f .cpp); corpus=$${name%_fuzz}; \
		mkdir -p build-fuzz/corpus/$$corpus; cp -n fuzz/corpus/$$corpus/* build-fuzz/corpus/$$corpus/ 2>/dev/null || true; \
		echo "== $$name"; \
		build-fuzz/$$name -max_total_time=$(FUZZ_SECONDS) -print_final_stats=1 build-fuzz/corpus/$$corpus; \
	done

# Every source of the fuzz build checked by clang (-fsyntax-only) in build-fuzz's setting: CI's proof
# that the fuzz targets compile with clang, for a third of the cost of building them.
fuzz-check: deps
	$(FUZZ_CONFIGURE)
	tools/syntax_check.py build-fuzz $(JOBS)

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

# Fails, naming the files, when a tracked source is not formatted as .clang-format says.
format-check: deps
	git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run -Werror

# The programs, the resources and the test server's market under PREFIX (DESTDIR is honoured).
install: deps
	cmake -S . -B build $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTC_WERROR=$(WERROR) \
		-DTC_DEBUG_INFO=$(DEBUG_INFO) -DCMAKE_INSTALL_PREFIX=$(PREFIX)
	cmake --build build -j $(JOBS)
	DESTDIR="$(DESTDIR)" cmake --install build

# Program and test line counts and their ratio.
loc:
	@tools/loc.sh

clean:
	rm -rf build build-asan build-tsan build-bench build-fuzz
