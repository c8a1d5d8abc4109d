// Assembling sets: a main packet whose body hashes to its set ID names the files; each
// file's description must hash to its File ID and its slice checksums must count its
// slices. Copies of one packet in several files are alike, so the first sound one serves.
// Every packet is indexed by its set once, so that a folder of many forged sets costs time
// in proportion to its packets, and no count of sets keeps the real one out.
#include "recovery/recovery_set.h"

#include <algorithm>
#include <map>
#include <set>

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

using Key = std::pair<Md5Digest, Md5Digest>;  // set ID, File ID

// The packets that describe files, by set and file, and the recovery slices and creators by
// set, so that finding them costs no scan of every packet for every file or set.
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
            for (const RecoverySliceLocation& slice : entry.second.recoverySlices) {
                recoverySlices[slice.setId].push_back({&entry.first, &slice});
            }
            for (const CreatorPacket& creator : entry.second.creators) {
                creators[creator.setId].push_back({&entry.first, &creator});
            }
            for (const MainPacket& main : entry.second.mains) {
                mains[main.setId].push_back(&entry.first);
            }
        }
    }

    std::map<Key, std::vector<const FileDescriptionPacket*>> descriptions;
    std::map<Key, std::vector<const SliceChecksumPacket*>> sliceChecksums;
    std::map<Key, std::vector<const UnicodeNamePacket*>> unicodeNames;
    std::map<Md5Digest, std::vector<std::pair<const std::string*, const RecoverySliceLocation*>>>
        recoverySlices;
    std::map<Md5Digest, std::vector<std::pair<const std::string*, const CreatorPacket*>>> creators;
    std::map<Md5Digest, std::vector<const std::string*>> mains;
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
#ifdef SECANTO_FUZZING
        return file;
#endif
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
// `name` with each control character shown as '?': one that a message holds as it is could
// end it (a NUL) or start a line of its own.
std::string Shown(const std::string& name) {
    std::string shown = name;
    for (char& c : shown) {
        if ((static_cast<unsigned char>(c) < 0x20 && c != '\n' && c != '\r') || c == 0x7F) {
            c = '?';
        }
    }
    return shown;
}

bool TakeName(const std::string& utf8,
              const PieceNameFilter& isPiece,
              RecoverySet* set,
              std::string* narrow) {
    std::string reason;
    if (!IsPlainFileName(utf8, &reason)) {
        set->refused.push_back({Shown(utf8), reason});
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
    // A slice larger than every file would only pad each piece with zeros to hash them: a
    // size of 2^40 would take hours to check a few bytes.
    std::uint64_t largest = 0;
    for (const SetFile& file : set->files) {
        largest = std::max(largest, file.length);
    }
    if (set->unusable.empty() &&
        set->sliceSize > std::max<std::uint64_t>(4, (largest + 3) & ~std::uint64_t{3})) {
        set->unusable = "its slice size is larger than any file it describes";
    }
}

// The set's recovery slices, one per exponent: the first of each, and the others of that
// exponent whose data differs as rivals; and the files that hold packets of the set.
void AddRecoverySlices(const Index& index, RecoverySet* set) {
    std::vector<std::string> files;
    std::map<std::uint32_t, std::vector<Md5Digest>> seen;
    const auto slices = index.recoverySlices.find(set->setId);
    if (slices != index.recoverySlices.end()) {
        for (const auto& [path, slice] : slices->second) {
            files.push_back(*path);
            if (slice->dataLength != set->sliceSize) {
                continue;
            }
            std::vector<Md5Digest>& copies = seen[slice->exponent];
            if (std::find(copies.begin(), copies.end(), slice->packetHash) != copies.end()) {
                continue;  // a copy of one already taken
            }
            copies.push_back(slice->packetHash);
            (copies.size() == 1 ? set->recoverySlices : set->rivals)
                .push_back({*path, slice->exponent, slice->dataOffset});
        }
    }
    const auto creators = index.creators.find(set->setId);
    if (creators != index.creators.end()) {
        for (const auto& [path, creator] : creators->second) {
            files.push_back(*path);
            if (set->creator.empty()) {
                set->creator = creator->text;
            }
        }
    }
    const auto mains = index.mains.find(set->setId);
    if (mains != index.mains.end()) {
        for (const std::string* path : mains->second) {
            files.push_back(*path);
        }
    }
    std::sort(files.begin(), files.end());
    files.erase(std::unique(files.begin(), files.end()), files.end());
    set->parFiles = std::move(files);
    const auto byExponent = [](const RecoverySliceSource& a, const RecoverySliceSource& b) {
        return a.exponent < b.exponent;
    };
    std::stable_sort(set->recoverySlices.begin(), set->recoverySlices.end(), byExponent);
    std::stable_sort(set->rivals.begin(), set->rivals.end(), byExponent);
}

}  // namespace

std::vector<RecoverySet> AssembleSets(const ReadPackets& read, const PieceNameFilter& isPiece) {
    std::vector<RecoverySet> sets;
    std::set<Md5Digest> known;
    const Index index(read);
    for (const auto& entry : read) {
        for (const MainPacket& main : entry.second.mains) {
            bool sound = main.bodyHash == main.setId;
#ifdef SECANTO_FUZZING
            sound = true;
#endif
            if (!sound || !known.insert(main.setId).second) {
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
            AddRecoverySlices(index, &set);
            sets.push_back(std::move(set));
        }
    }
    return sets;
}

}  // namespace recovery
