#pragma once
// Reads the control-character form of the login snapshot into a fresh session model. The text is
// cut into sections at 0x07, records at 0x06 and fields at 0x05; the section's position says what
// it holds. The loader never touches the live collections: the caller hands the finished model to
// the session object on the thread that owns it.
//
// All parse state lives in one call, so any number of parses may run at once on different threads.
// A large instrument or group-settings section is read by a few short-lived helper threads of its
// own; the model is filed on the calling thread, in record order, whatever the thread count.
#include "model/session_model.h"

#include <cstddef>
#include <functional>
#include <optional>
#include <string_view>

namespace tc {

// What one parse passed over; for logs and tests.
struct AmpLoadStats {
    // Sections cut from the text (only those up to the last one read are counted).
    std::size_t sections = 0;
    // Records passed over because they were malformed (no instrument code, a login message or
    // resource too short to carry its key) or named a group that the snapshot lacks.
    std::size_t recordsSkipped = 0;
    // Records not read because their section or collection was full.
    std::size_t recordsDropped = 0;
    // Instruments filed but left out of the watch-list choices because their type is unknown.
    std::size_t instrumentsWithoutType = 0;
};

class AmpSnapshotLoader {
public:
    static constexpr char kSectionSeparator = '\x07';
    static constexpr char kRecordSeparator = '\x06';
    static constexpr char kFieldSeparator = '\x05';

    // Section numbers.
    enum Section : std::size_t {
        kUser = 0,
        kProduct = 1,
        kInstrumentTypes = 2,
        kSessionSettings = 3,
        kInstruments = 4,
        kGroups = 5,
        kGroupInstruments = 6,
        kAccounts = 8,
        kLoginMessages = 16,
        kResources = 19,
        kCurrencyList = 20,
        kTradeCurrencies = 21,
        kLastSection = kTradeCurrencies,
    };

    struct Limits {
        // Longest snapshot text read: the inflater's own cap.
        std::size_t maxTextBytes = std::size_t{64} << 20;
        // Records read from one section; the rest of the section is dropped with a log line.
        std::size_t maxRecordsPerSection = SessionModel::kMaxEntriesPerCollection;
        // Threads that read the records of one large section (instruments, group settings) at
        // once; 1 reads everything on the calling thread.
        std::size_t maxReadThreads = 4;
    };

    // Called right after the instrument section with the model being built, so the watch list can
    // be restored against the new instruments before groups and accounts arrive.
    using InstrumentsLoadedHook = std::function<void(SessionModel&)>;

    AmpSnapshotLoader() = default;
    explicit AmpSnapshotLoader(Limits limits) : limits_(limits) {}

    void setInstrumentsLoadedHook(InstrumentsLoadedHook hook) { instrumentsLoaded_ = std::move(hook); }
    const Limits& limits() const { return limits_; }

    // The model the snapshot describes. userInfo is always set (a fresh record when section 0 is
    // empty). A malformed record is passed over and its section goes on. nullopt, with an error
    // logged, only for a text over maxTextBytes.
    std::optional<SessionModel> load(std::string_view text, AmpLoadStats* stats = nullptr) const;

    // The same from a tag-1050 field as received ("1050=" and the Base64 of 4 bytes and a zlib or
    // gzip stream). nullopt when the field does not decode or inflate, or the text is over the cap.
    std::optional<SessionModel> loadFromCompressedField(std::string_view field,
                                                        AmpLoadStats* stats = nullptr) const;

private:
    Limits limits_;
    InstrumentsLoadedHook instrumentsLoaded_;
};

} // namespace tc
