// Assembling sets: a main packet whose body hashes to its set ID names the files; each
// file's description must hash to its File ID and its slice checksums must count its
// slices. Copies of one packet in several files are alike, so the first sound one serves.
#include "recovery/recovery_set.h"

#include <algorithm>
#include <map>

#include "platform/file_names.h"
#include "platform/hash.h"
#include "platform/text_encoding.h"
#include "recovery/file_name_rules.h"
#include "recovery/slice_constants.h"
#include "recovery/unicode_names.h"

namespace recovery {

bool ComputeFileId(const Md5Digest& md5First16k,
                   std::uint64_t length,
                   const std::string& name,
                   Md5Digest* fileId) {
    std::string bytes(reinterpret_cast<const char*>(md5First16k.data()), md5First16k.size());
    AppendLe64(&bytes, length);
    bytes += name;
    platform::Hash hash(platform::HashAlgorithm::kMd5);
    return hash.Begin() && hash.Update(bytes.data(), bytes.size()) && hash.End(fileId->data());
}

namespace {

// Sets taken from one folder at most: more are forged.
constexpr std::size_t kMaxSets = 64;

using Key = std::pair<Md5Digest, Md5Digest>;  // set ID, File ID

// The packets that describe files, by set and file, so that finding them costs no scan of
// every packet for every file.
struct Index {
    explicit Index(const ReadPackets& read) {
        for (const auto& entry : read) {
            for (const FileDescriptionPacket& file : entry.second.files) {
                descriptions[{file.setId, file.fileId}].push_back(&file);
            }
            for (const SliceChecksumPacket& checksums : entry.second.sliceChecksums) {
                sliceChecksums[{checksums.setId, checksums.fileId}].push_back(&checksums);
            }
            for (const UnicodeNamePacket& name : entry.second.unicodeNames) {
                unicodeNames[{name.setId, name.fileId}].push_back(&name);
            }
        }
    }

    std::map<Key, std::vector<const FileDescriptionPacket*>> descriptions;
    std::map<Key, std::vector<const SliceChecksumPacket*>> sliceChecksums;
    std::map<Key, std::vector<const UnicodeNamePacket*>> unicodeNames;
};

const FileDescriptionPacket* FindDescription(const Index& index, const Key& key) {
    const auto found = index.descriptions.find(key);
    if (found == index.descriptions.end()) {
        return nullptr;
    }
    for (const FileDescriptionPacket* file : found->second) {
        Md5Digest computed;
        if (ComputeFileId(file->md5First16k, file->length, file->name, &computed) &&
            computed == key.second) {
            return file;
        }
    }
    return nullptr;
}

const SliceChecksumPacket* FindChecksums(const Index& index, const Key& key, std::uint64_t slices) {
    const auto found = index.sliceChecksums.find(key);
    if (found != index.sliceChecksums.end()) {
        for (const SliceChecksumPacket* checksums : found->second) {
            if (checksums->slices.size() == slices) {
                return checksums;
            }
        }
    }
    return nullptr;
}

// The name to act on: the Unicode name where a sound one is given, else the description's.
std::string NameOf(const Index& index, const Key& key, const FileDescriptionPacket& file) {
    const auto found = index.unicodeNames.find(key);
    if (found != index.unicodeNames.end()) {
        for (const UnicodeNamePacket* name : found->second) {
            std::string utf8;
            if (Utf16ToUtf8(name->name, &utf8)) {
                return utf8;
            }
        }
    }
    return file.name;
}

// Checks the name a file is to be acted on under: false with the refusal recorded.
bool TakeName(const std::string& utf8,
              const PieceNameFilter& isPiece,
              RecoverySet* set,
              std::string* narrow) {
    std::string reason;
    if (!IsPlainFileName(utf8, &reason)) {
        set->refused.push_back({utf8, reason});
    } else if (!platform::Utf8ToNarrow(utf8, narrow)) {
        set->refused.push_back({utf8, "cannot be written in this system's code page"});
    } else if (!isPiece(*narrow)) {
        set->refused.push_back({utf8, "not a piece of the set"});
    } else {
        for (const SetFile& other : set->files) {
            if (platform::SameFileName(other.name, *narrow)) {
                set->refused.push_back({utf8, "named twice in the set"});
                return false;
            }
        }
        return true;
    }
    return false;
}

// The files of the recovery set, in the order of their slices; then the empty files the
// set describes outside it (an empty file has no slice to recover, but is checked).
void AddFiles(const Index& index,
              const MainPacket& main,
              const PieceNameFilter& isPiece,
              RecoverySet* set) {
    std::uint64_t slices = 0;
    const std::size_t recoverable = main.recoveryFileIds.size();
    for (std::size_t i = 0; i < recoverable + main.otherFileIds.size(); ++i) {
        const bool inRecovery = i < recoverable;
        const Md5Digest& fileId =
            inRecovery ? main.recoveryFileIds[i] : main.otherFileIds[i - recoverable];
        const Key key{main.setId, fileId};
        const FileDescriptionPacket* description = FindDescription(index, key);
        if (description == nullptr || (!inRecovery && description->length != 0)) {
            if (inRecovery) {
                set->unusable = "a file of the set has no sound description";
                return;
            }
            continue;  // not this program's to check
        }
        SetFile file;
        file.fileId = fileId;
        file.length = description->length;
        file.md5 = description->md5;
        file.md5First16k = description->md5First16k;
        const std::uint64_t count =
            file.length / set->sliceSize + (file.length % set->sliceSize != 0 ? 1 : 0);
        if (count > kMaxInputSlices || slices + count > kMaxInputSlices) {
            set->unusable = "more than 32768 input slices";
            return;
        }
        file.firstSlice = static_cast<std::uint32_t>(slices);
        slices += count;
        if (count > 0) {
            const SliceChecksumPacket* checksums = FindChecksums(index, key, count);
            if (checksums == nullptr) {
                set->unusable = "a file of the set has no sound slice checksums";
                return;
            }
            file.slices = checksums->slices;
        }
        TakeName(NameOf(index, key, *description), isPiece, set, &file.name);
        set->files.push_back(std::move(file));
    }
    set->inputSlices = static_cast<std::uint32_t>(slices);
    if (!set->refused.empty()) {
        set->unusable = "the set names files that are not its pieces";
    }
}

}  // namespace

std::vector<RecoverySet> AssembleSets(const ReadPackets& read, const PieceNameFilter& isPiece) {
    std::vector<RecoverySet> sets;
    const Index index(read);
    for (const auto& entry : read) {
        for (const MainPacket& main : entry.second.mains) {
            const bool known = std::any_of(sets.begin(), sets.end(), [&](const RecoverySet& s) {
                return s.setId == main.setId;
            });
            if (known || main.bodyHash != main.setId || sets.size() >= kMaxSets) {
                continue;
            }
            std::vector<Md5Digest> ids = main.recoveryFileIds;
            std::sort(ids.begin(), ids.end());
            RecoverySet set;
            set.setId = main.setId;
            set.sliceSize = main.sliceSize;
            if (std::adjacent_find(ids.begin(), ids.end()) != ids.end()) {
                set.unusable = "a file is listed twice";
            } else {
                AddFiles(index, main, isPiece, &set);
            }
            std::vector<bool> seen(65535, false);
            for (const auto& other : read) {
                bool holds = false;
                for (const RecoverySliceLocation& slice : other.second.recoverySlices) {
                    if (slice.setId != set.setId) {
                        continue;
                    }
                    holds = true;
                    // A repeated exponent is a copy at best: the first serves.
                    if (slice.dataLength == set.sliceSize && !seen[slice.exponent]) {
                        seen[slice.exponent] = true;
                        set.recoverySlices.push_back(
                            {other.first, slice.exponent, slice.dataOffset});
                    }
                }
                for (const CreatorPacket& creator : other.second.creators) {
                    if (creator.setId == set.setId) {
                        holds = true;
                        if (set.creator.empty()) {
                            set.creator = creator.text;
                        }
                    }
                }
                for (const MainPacket& copy : other.second.mains) {
                    holds = holds || copy.setId == set.setId;
                }
                if (holds) {
                    set.parFiles.push_back(other.first);
                }
            }
            std::sort(set.recoverySlices.begin(), set.recoverySlices.end(),
                      [](const RecoverySliceSource& a, const RecoverySliceSource& b) {
                          return a.exponent < b.exponent;
                      });
            sets.push_back(std::move(set));
        }
    }
    return sets;
}

}  // namespace recovery
