#include "session/snapshot/amp_snapshot_loader.h"

#include "model/collection_keys.h"
#include "model/records/account_details.h"
#include "model/records/item_details.h"
#include "model/records/record_fields.h"
#include "model/session_model_lookup.h"
#include "model/text/formatter.h"
#include "platform/cores.h"
#include "platform/log.h"
#include "wire/envelope_opener.h"

#include <sched.h>

#include <algorithm>
#include <exception>
#include <memory>
#include <string>
#include <thread>
#include <tuple>
#include <unordered_map>
#include <utility>
#include <vector>

namespace tc {

namespace {

// Calls visit(piece) for each piece of `text` cut at `separator`, empty ones included, until
// visit returns false.
template <class Visit>
void forEachPiece(std::string_view text, char separator, Visit&& visit) {
    std::size_t start = 0;
    for (;;) {
        const std::size_t cut = text.find(separator, start);
        const std::size_t end = cut == std::string_view::npos ? text.size() : cut;
        if (!visit(text.substr(start, end - start)) || cut == std::string_view::npos)
            return;
        start = cut + 1;
    }
}

// The text before the first record separator: sections read only their first record.
std::string_view firstRecord(std::string_view section) {
    return section.substr(0, section.find(AmpSnapshotLoader::kRecordSeparator));
}

// One parse: the model being built and what it passed over.
class Parse {
public:
    Parse(const AmpSnapshotLoader::Limits& limits, const AmpSnapshotLoader::InstrumentsLoadedHook& hook,
          AmpLoadStats& stats)
        : limits_(limits), instrumentsLoaded_(hook), stats_(stats) {}

    SessionModel run(std::string_view text) {
        model_.userInfo = std::make_shared<UserInfo>();
        std::size_t position = 0;
        forEachPiece(text, AmpSnapshotLoader::kSectionSeparator, [&](std::string_view section) {
            ++stats_.sections;
            runSection(position, section);
            return ++position <= AmpSnapshotLoader::kLastSection;
        });
        return std::move(model_);
    }

private:
    void runSection(std::size_t position, std::string_view section) {
        // A section that fails stops alone; what it filed stays and the next section is read.
        try {
            loadSection(position, section);
        } catch (const std::exception& e) {
            platform::Log::error("login snapshot: section {} stopped: {}", position, e.what());
        }
        try {
            if (position == AmpSnapshotLoader::kInstruments && instrumentsLoaded_)
                instrumentsLoaded_(model_);
            if (position == AmpSnapshotLoader::kAccounts)
                SetAllSymbolsSpread(model_);
        } catch (const std::exception& e) {
            platform::Log::error("login snapshot: follow-up of section {} stopped: {}", position, e.what());
        }
    }

    void loadSection(std::size_t position, std::string_view section) {
        switch (position) {
        case AmpSnapshotLoader::kUser:
            *model_.userInfo = UserInfo::fromAmpRecord(RecordFields(firstRecord(section)));
            break;
        case AmpSnapshotLoader::kProduct: {
            const auto product = ProductInfo::fromAmpRecord(RecordFields(firstRecord(section)));
            model_.userInfo->productID = static_cast<std::uint64_t>(std::int64_t{product.ProductId});
            break;
        }
        case AmpSnapshotLoader::kInstrumentTypes:
            forEachRecord(position, section, [&](const RecordFields& f) {
                return model_.fileItemType(std::make_shared<ItemType>(ItemType::fromAmpRecord(f)));
            });
            break;
        case AmpSnapshotLoader::kSessionSettings:
            forEachRecord(position, section, [&](const RecordFields& f) {
                return model_.fileSessionSettings(
                    std::make_shared<SessionSettings>(SessionSettings::fromAmpRecord(f)));
            });
            break;
        case AmpSnapshotLoader::kInstruments:
            loadInstruments(section);
            break;
        case AmpSnapshotLoader::kGroups:
            forEachRecord(position, section, [&](const RecordFields& f) {
                return model_.fileGroup(std::make_shared<GroupDetails>(GroupDetails::fromAmpRecord(f)));
            });
            break;
        case AmpSnapshotLoader::kGroupInstruments:
            loadGroupInstruments(section);
            break;
        case AmpSnapshotLoader::kAccounts:
            forEachRecord(position, section, [&](const RecordFields& f) {
                auto account = std::make_shared<AccountDetails>(AccountDetails::fromAmpRecord(f));
                std::string key = sessionKey(account->AccountId);
                return SessionModel::file(model_.AccountDetailCollection, std::move(key), std::move(account),
                                          "AccountDetailCollection");
            });
            break;
        case AmpSnapshotLoader::kLoginMessages:
            forEachRecord(position, section, [&](const RecordFields& f) {
                // A record without a code field is malformed; a code the client does not know is
                // simply not for it.
                if (!f.has(2))
                    return skip(position, "login message without a code");
                if (auto message = LoginInfoMessage::fromAmpRecord(f))
                    model_.fileLoginInfoMessage(std::make_shared<LoginInfoMessage>(std::move(*message)));
                return true;
            });
            break;
        case AmpSnapshotLoader::kResources:
            forEachRecord(position, section, [&](const RecordFields& f) {
                auto resource = ResourceDetails::fromAmpRecord(f);
                if (!resource)
                    return skip(position, "resource without an icon field");
                return model_.fileResource(std::make_shared<ResourceDetails>(std::move(*resource)));
            });
            break;
        case AmpSnapshotLoader::kCurrencyList:
            forEachRecord(position, section, [&](const RecordFields& f) {
                return model_.fileTradeCurrency(std::make_shared<CurrenyList>(CurrenyList::fromAmpRecord(f)));
            });
            break;
        case AmpSnapshotLoader::kTradeCurrencies:
            forEachRecord(position, section, [&](const RecordFields& f) {
                return model_.fileTradeCurrency(
                    std::make_shared<TradeCurrency>(TradeCurrency::fromAmpRecord(f)));
            });
            // The only place where accounts get their currency.
            for (auto& [key, account] : model_.AccountDetailCollection)
                if (account)
                    account->tradeCurrency = model_.tradeCurrency(account->currencyID);
            break;
        default:
            break;
        }
    }

    // Each non-empty record of the section, up to the cap. `read` returns false when it filed
    // nothing (a full collection or a skipped record, both counted by their own paths).
    template <class Read>
    void forEachRecord(std::size_t position, std::string_view section, Read&& read) {
        std::size_t records = 0;
        forEachPiece(section, AmpSnapshotLoader::kRecordSeparator, [&](std::string_view record) {
            if (record.empty())
                return true;
            if (records >= limits_.maxRecordsPerSection) {
                if (records++ == limits_.maxRecordsPerSection)
                    platform::Log::warning("login snapshot: section {} holds more than {} records; the rest "
                                           "is not read",
                                           position, limits_.maxRecordsPerSection);
                ++stats_.recordsDropped;
                return true;
            }
            ++records;
            fields_.reset(record);
            skipped_ = false;
            if (!read(std::as_const(fields_)) && !skipped_)
                ++stats_.recordsDropped;
            skipped_ = false;
            return true;
        });
    }

    // The non-empty records of a section, up to the cap (the rest counted and logged).
    std::vector<std::string_view> cutRecords(std::size_t position, std::string_view section) {
        std::vector<std::string_view> records;
        std::size_t over = 0;
        forEachPiece(section, AmpSnapshotLoader::kRecordSeparator, [&](std::string_view record) {
            if (record.empty())
                return true;
            if (records.size() < limits_.maxRecordsPerSection)
                records.push_back(record);
            else
                ++over;
            return true;
        });
        if (over > 0) {
            platform::Log::warning(
                "login snapshot: section {} holds more than {} records; the rest is not read", position,
                limits_.maxRecordsPerSection);
            stats_.recordsDropped += over;
        }
        return records;
    }

    // read(fields) of every record, in record order.
    template <class T, class Read>
    std::vector<T> readRecords(const std::vector<std::string_view>& records, Read read) {
        std::vector<T> out(records.size());
        forEachRecordAtOnce(records,
                            [&](std::size_t i, const RecordFields& fields) { out[i] = read(fields); });
        return out;
    }

    // read(i, fields) of every record i, its fields cut. Reading a record touches nothing
    // shared, so large sections are read by a few threads, each with its own fields;
    // only the filing that follows is in order on this thread.
    template <class Read>
    void forEachRecordAtOnce(const std::vector<std::string_view>& records, Read read) {
        auto work = [&](std::size_t begin, std::size_t end) {
            RecordFields fields{std::string_view()};
            for (std::size_t i = begin; i < end; ++i) {
                fields.reset(records[i]);
                read(i, std::as_const(fields));
            }
        };
        constexpr std::size_t kRecordsPerThread = 2048;
        // Cores this process may run on, not the machine's: more readers than that only take turns.
        const std::size_t hardware = platform::usableCores();
        const std::size_t threads =
            std::min({limits_.maxReadThreads, hardware, records.size() / kRecordsPerThread + 1});
        if (threads <= 1) {
            work(0, records.size());
            return;
        }
        const std::size_t chunk = (records.size() + threads - 1) / threads;
        std::vector<std::exception_ptr> failures(threads - 1);
        std::vector<std::thread> helpers;
        helpers.reserve(threads - 1);
        try {
            for (std::size_t t = 1; t < threads; ++t) {
                helpers.emplace_back([&, t] {
                    try {
                        work(std::min(t * chunk, records.size()), std::min((t + 1) * chunk, records.size()));
                    } catch (...) {
                        failures[t - 1] = std::current_exception();
                    }
                });
            }
        } catch (...) {
            // No thread to be had: whatever did not start is read here.
            for (std::size_t t = helpers.size() + 1; t < threads; ++t)
                work(std::min(t * chunk, records.size()), std::min((t + 1) * chunk, records.size()));
        }
        std::exception_ptr failure;
        try {
            work(0, std::min(chunk, records.size()));
        } catch (...) {
            failure = std::current_exception();
        }
        for (auto& h : helpers)
            h.join();
        for (auto& f : failures)
            if (!failure && f)
                failure = f;
        if (failure)
            std::rethrow_exception(failure);
    }

    // Counts a malformed record; false so the caller can return it from its reader.
    bool skip(std::size_t position, std::string_view why) {
        platform::Log::warning("login snapshot: section {}: {}; record passed over", position, why);
        ++stats_.recordsSkipped;
        skipped_ = true;
        return false;
    }

    void loadInstruments(std::string_view section) {
        const auto records = cutRecords(AmpSnapshotLoader::kInstruments, section);
        auto items = readRecords<std::shared_ptr<ItemDetails>>(
            records, [](const RecordFields& f) -> std::shared_ptr<ItemDetails> {
                // Without a code an instrument cannot be filed, quoted or subscribed, and an
                // overlong one must not be.
                if (!ItemDetails::IsAcceptableCode(f.text(2)))
                    return nullptr;
                return std::make_shared<ItemDetails>(ItemDetails::fromAmpRecord(f));
            });
        for (auto& item : items) {
            if (!item) {
                skip(AmpSnapshotLoader::kInstruments, "instrument without a code, or with one longer than "
                                                      "a code may be");
                continue;
            }
            const auto* type = model_.ItemTypeCollection.get(sessionKey(item->InstrumentTypeId));
            if (type && *type)
                item->InstrumentTypeName = (*type)->InstrumentTypeName;
            if (item->IsAvailableForWatchlist && item->Enabled)
                offerForWatchlist(*item, type && *type);
            std::string code = item->Code;
            if (!SessionModel::file(model_.ItemCollection, std::move(code), std::move(item),
                                    "ItemCollection"))
                ++stats_.recordsDropped;
        }
        linkCalculationItems();
    }

    // Lists the instrument among the watch-list choices of its type.
    void offerForWatchlist(const ItemDetails& item, bool typeKnown) {
        if (!typeKnown) {
            // Still filed and quoted; only the choice list has no type to put it under.
            platform::Log::warning("login snapshot: instrument {} has unknown type {}; not offered for the "
                                   "watch list",
                                   item.Code, item.InstrumentTypeId);
            ++stats_.instrumentsWithoutType;
            return;
        }
        auto [entry, isNew] = model_.symbolTypeCollection.try_emplace(item.InstrumentTypeName);
        std::string& list = entry->second;
        if (!isNew)
            list += ',';
        list += item.Code;
        list += ':';
        list += item.Name;
    }

    // Every instrument with a CurrencyID points to the first instrument of that id.
    void linkCalculationItems() {
        std::unordered_map<std::int32_t, std::shared_ptr<const ItemDetails>> byId;
        byId.reserve(model_.ItemCollection.size());
        for (const auto& [code, item] : model_.ItemCollection)
            if (item)
                byId.try_emplace(item->InstrumentId, item);
        for (auto& [code, item] : model_.ItemCollection) {
            if (!item || item->CurrencyID <= 0)
                continue;
            const auto found = byId.find(item->CurrencyID);
            if (found != byId.end())
                item->CalculationItems = found->second;
            else
                item->CalculationItems.reset();
        }
    }

    void loadGroupInstruments(std::string_view section) {
        const auto records = cutRecords(AmpSnapshotLoader::kGroupInstruments, section);
        // Groups mostly carry settings for every instrument: sizing each table once for its share
        // of the section saves growing it step by step. Bounded by the instruments loaded, so a
        // section of many groups with few settings each reserves little.
        if (!model_.GroupDetailCollection.empty()) {
            const std::size_t share =
                std::min({records.size() / model_.GroupDetailCollection.size() + 1,
                          model_.ItemCollection.size(), GroupDetails::kMaxGroupInstruments});
            for (auto& [key, group] : model_.GroupDetailCollection)
                if (group)
                    group->GroupInstrumentCollection.reserve(share);
        }
        // Each record's entry is claimed in record order within its group, from the two ids at its
        // head, and the records are then read straight into their entries by the reading threads,
        // which are also the first to touch that memory. A record for an instrument its group already
        // holds is read after the others, in order, so the last one wins. Groups keep their settings
        // apart, so the groups are claimed for at once, each on one thread.
        std::vector<std::pair<std::int32_t, std::int32_t>> ids(records.size());
        platform::forEachShare(records.size(), 8192, [&](std::size_t begin, std::size_t end) {
            for (std::size_t i = begin; i < end; ++i)
                ids[i] = leadingIds(records[i]);
        });
        struct Claims {
            GroupDetails* group = nullptr;
            std::vector<std::size_t> records;
            std::vector<std::size_t> first;
            std::vector<GroupInstruments*> firstEntries;
            std::vector<std::pair<std::size_t, GroupInstruments*>> repeats;
            std::size_t dropped = 0;
        };
        std::vector<Claims> claims;
        {
            // Settings arrive grouped, so the last group found is usually the next one wanted.
            std::int32_t lastId = 0;
            std::shared_ptr<GroupDetails> lastGroup;
            std::size_t lastClaims = 0;
            for (std::size_t i = 0; i < records.size(); ++i) {
                const std::int32_t groupId = ids[i].first;
                if (!lastGroup || lastId != groupId) {
                    lastGroup = model_.group(groupId);
                    lastId = groupId;
                    if (lastGroup) {
                        const auto found = std::find_if(claims.begin(), claims.end(), [&](const Claims& c) {
                            return c.group == lastGroup.get();
                        });
                        lastClaims = static_cast<std::size_t>(found - claims.begin());
                        if (found == claims.end())
                            claims.push_back(Claims{lastGroup.get(), {}, {}, {}, {}, 0});
                    }
                }
                if (!lastGroup) {
                    skip(AmpSnapshotLoader::kGroupInstruments, "settings for a group not in the snapshot");
                    continue;
                }
                claims[lastClaims].records.push_back(i);
            }
        }
        auto claimAll = [&](std::size_t begin, std::size_t end) {
            for (std::size_t g = begin; g < end; ++g) {
                Claims& c = claims[g];
                c.first.reserve(c.records.size());
                c.firstEntries.reserve(c.records.size());
                for (const std::size_t i : c.records) {
                    const auto [entry, isNew] = c.group->claimGroupInstrument(
                        ids[i].second, GroupInstrumentTable::NewEntry::Unwritten);
                    if (!entry) {
                        ++c.dropped;
                    } else if (isNew) {
                        c.first.push_back(i);
                        c.firstEntries.push_back(entry);
                    } else {
                        c.repeats.emplace_back(i, entry);
                    }
                }
            }
        };
        std::vector<std::size_t> first;
        std::vector<GroupInstruments*> firstEntries;
        // No entry stays unwritten: on a failure the new ones fall back to default settings.
        auto writeDefaults = [&] {
            for (const Claims& c : claims) {
                for (std::size_t k = 0; k < c.firstEntries.size(); ++k) {
                    GroupInstruments* entry = std::construct_at(c.firstEntries[k]);
                    std::tie(entry->GroupId, entry->InstrumentId) = ids[c.first[k]];
                }
            }
        };
        try {
            platform::forEachShare(claims.size(), 1, claimAll);
            std::size_t total = 0;
            for (const Claims& c : claims)
                total += c.first.size();
            first.reserve(total);
            firstEntries.reserve(total);
            for (const Claims& c : claims) {
                first.insert(first.end(), c.first.begin(), c.first.end());
                firstEntries.insert(firstEntries.end(), c.firstEntries.begin(), c.firstEntries.end());
            }
        } catch (...) {
            writeDefaults();
            throw;
        }
        for (const Claims& c : claims)
            stats_.recordsDropped += c.dropped;
        std::vector<std::string_view> firstRecords(first.size());
        for (std::size_t k = 0; k < first.size(); ++k)
            firstRecords[k] = records[first[k]];
        try {
            forEachRecordAtOnce(firstRecords, [&](std::size_t k, const RecordFields& f) {
                std::construct_at(firstEntries[k], GroupInstruments::fromAmpRecord(f));
            });
        } catch (...) {
            writeDefaults();
            throw;
        }
        for (const Claims& c : claims) {
            for (const auto& [i, entry] : c.repeats) {
                fields_.reset(records[i]);
                *entry = GroupInstruments::fromAmpRecord(fields_);
            }
        }
    }

    // The group and instrument ids of a group-instrument record (fields 1 and 2), read as the whole
    // record reads them: a missing field reads as 0.
    static std::pair<std::int32_t, std::int32_t> leadingIds(std::string_view record) {
        std::int32_t ids[2] = {0, 0};
        std::size_t start = record.find(AmpSnapshotLoader::kFieldSeparator);
        for (std::int32_t& id : ids) {
            if (start == std::string_view::npos)
                break;
            const std::size_t end = record.find(AmpSnapshotLoader::kFieldSeparator, start + 1);
            id = RecordFields::toInt(
                record.substr(start + 1, end == std::string_view::npos ? end : end - start - 1));
            start = end;
        }
        return {ids[0], ids[1]};
    }

    const AmpSnapshotLoader::Limits& limits_;
    const AmpSnapshotLoader::InstrumentsLoadedHook& instrumentsLoaded_;
    AmpLoadStats& stats_;
    SessionModel model_;
    RecordFields fields_{std::string_view()};
    bool skipped_ = false;
};

} // namespace

std::optional<SessionModel> AmpSnapshotLoader::load(std::string_view text, AmpLoadStats* stats) const {
    AmpLoadStats local;
    AmpLoadStats& out = stats ? *stats : local;
    out = AmpLoadStats{};
    if (text.size() > limits_.maxTextBytes) {
        platform::Log::error("login snapshot of {} bytes is over the {} byte limit; not read", text.size(),
                             limits_.maxTextBytes);
        return std::nullopt;
    }
    return Parse(limits_, instrumentsLoaded_, out).run(text);
}

std::optional<SessionModel> AmpSnapshotLoader::loadFromCompressedField(std::string_view field,
                                                                       AmpLoadStats* stats) const {
    auto text = decompressedPayloadOfField(field);
    if (!text) {
        platform::Log::error("login snapshot: the compressed field does not decode");
        return std::nullopt;
    }
    return load(*text, stats);
}

} // namespace tc
