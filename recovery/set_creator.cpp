// Creation in three reads of the pieces' bytes at most: the checksums (both cores, a piece
// or a group of pieces of one length each), then the recovery sum in stripes (both cores,
// half the columns each), then the recovery slices' MD5 read back from the volumes. Everything but the recovery data and
// its packet headers is known before the sum starts and is written first.
#include "recovery/set_creator.h"

#include <algorithm>
#include <atomic>
#include <deque>
#include <memory>

#include "platform/file.h"
#include "platform/file_system.h"
#include "platform/own_file.h"
#include "platform/system_error.h"
#include "platform/text_encoding.h"
#include "recovery/byte_source.h"
#include "recovery/file_name_rules.h"
#include "recovery/leftovers.h"
#include "recovery/md5_lanes.h"
#include "recovery/packet_writer.h"
#include "recovery/piece_group_hasher.h"
#include "recovery/piece_hasher.h"
#include "recovery/recovery_paths.h"
#include "recovery/recovery_set.h"
#include "recovery/slice_constants.h"
#include "recovery/striped_accumulator.h"
#include "recovery/unicode_names.h"
#include "recovery/volume_names.h"
#include "recovery/work_sharing.h"

namespace recovery {

namespace {

std::uint64_t SliceCount(std::uint64_t length, std::uint64_t sliceSize) {
    return length / sliceSize + (length % sliceSize != 0 ? 1 : 0);
}

std::uint64_t TotalSlices(const std::vector<std::uint64_t>& lengths, std::uint64_t sliceSize) {
    std::uint64_t total = 0;
    for (std::uint64_t length : lengths) {
        total += SliceCount(length, sliceSize);
    }
    return total;
}

struct Described {
    const PieceFile* piece;
    std::string utf8Name;
    PieceHashes hashes;
    Md5Digest fileId{};
};

// One recovery file being written: its temporary and final paths and where each of its
// recovery slices' packets starts.
struct Volume {
    std::string finalPath;
    std::string temporaryPath;
    std::vector<std::uint32_t> exponents;
    std::vector<std::uint64_t> packetOffsets;
    std::string before;  // the packets before the recovery slices
    std::string after;   // and after them
    platform::File file;
    platform::OwnFile own;  // the claim on the temporary name, until it is renamed
    bool made = false;
    bool renamed = false;
};

class Creation {
public:
    Creation(const CreateRequest& request, const KeepGoing& keepGoing, CreateResult* result)
        : m_request(request), m_keepGoing(keepGoing), m_result(result) {}

    ~Creation() {
        // What this run made and left under temporary names on any failure goes; nothing
        // else found at those names is touched.
        for (Volume& volume : m_volumes) {
            volume.file.Close();
            if (volume.made && !volume.renamed) {
                platform::RemoveFile(volume.temporaryPath);
            }
            volume.own.Release();
        }
    }

    Status Make() {
        Status status = DescribePieces();
        if (status.Ok()) {
            status = HashPieces();
        }
        if (status.Ok()) {
            status = MakePackets();
        }
        if (status.Ok()) {
            status = WriteRecovery();
        }
        if (status.Ok()) {
            status = SealRecovery();
        }
        if (status.Ok()) {
            status = Rename();
        }
        return status;
    }

private:
    bool KeepGoing() const { return !m_keepGoing || m_keepGoing(); }

    Status DescribePieces() {
        if (m_request.pieces.empty()) {
            return Status::Fail(Failure::kBadRequest, m_request.indexPath, "no pieces given");
        }
        if (m_request.recoverySlices > kMaxRecoverySlices) {
            return Status::Fail(Failure::kBadRequest, m_request.indexPath,
                                "more than 32768 recovery slices");
        }
        if (m_request.sliceSize % 4 != 0) {
            return Status::Fail(Failure::kBadRequest, m_request.indexPath,
                                "the slice size is not a multiple of 4");
        }
        std::vector<std::uint64_t> lengths;
        for (const PieceFile& piece : m_request.pieces) {
            Described d;
            d.piece = &piece;
            std::string reason;
            if (!platform::NarrowToUtf8(piece.name, &d.utf8Name)) {
                return Status::Fail(Failure::kBadRequest, piece.path, "the name is no valid text");
            }
            std::u16string wide;
            if (!Utf8ToUtf16(d.utf8Name, &wide)) {
                return Status::Fail(Failure::kBadRequest, piece.path, "the name is no valid UTF-8");
            }
            if (!IsPlainFileName(d.utf8Name, &reason)) {
                return Status::Fail(Failure::kBadRequest, piece.path, "the name " + reason);
            }
            platform::File file;
            if (!file.Open(piece.path, platform::File::Access::kReadShareDenyWrite) ||
                !file.Length(&d.hashes.length)) {
                return Status::Fail(Failure::kSource, piece.path, platform::LastSystemError());
            }
            lengths.push_back(d.hashes.length);
            m_pieces.push_back(std::move(d));
        }
        m_sliceSize = m_request.sliceSize != 0 ? m_request.sliceSize
                                               : ChooseSliceSize(lengths, m_request.recoverySlices,
                                                                 m_request.memoryBudget);
        if (m_sliceSize == 0 || TotalSlices(lengths, m_sliceSize) > kMaxInputSlices) {
            return Status::Fail(Failure::kBadRequest, m_request.indexPath,
                                "the pieces make more than 32768 input slices");
        }
        return Status();
    }

    Status HashPieces() {
        std::atomic<bool> stop{false};
        std::vector<std::string> reasons(m_pieces.size());
        std::vector<PieceHasher::Outcome> outcomes(m_pieces.size(), PieceHasher::Outcome::kStopped);
        PieceHasher hashers[2];
        PieceGroupHasher groupHashers[2];
        const recovery::KeepGoing* keepGoing = &m_keepGoing;
        const std::vector<std::vector<std::size_t>> groups = GroupsOfOneLength();
        ShareWork(
            groups.size(),
            [&](std::size_t g, int thread) {
                if (stop.load()) {
                    return;
                }
                const std::vector<std::size_t>& group = groups[g];
                const recovery::KeepGoing* asked = thread == 0 ? keepGoing : nullptr;
                if (group.size() == 1) {
                    Described& d = m_pieces[group.front()];
                    outcomes[group.front()] =
                        hashers[thread].Hash(d.piece->path, m_sliceSize, asked, &stop, &d.hashes,
                                             &reasons[group.front()]);
                    if (outcomes[group.front()] == PieceHasher::Outcome::kFailed) {
                        stop.store(true);
                    }
                    return;
                }
                std::vector<std::string> paths;
                paths.reserve(group.size());
                std::vector<PieceHashes> hashes(group.size());
                for (std::size_t i : group) {
                    paths.push_back(m_pieces[i].piece->path);
                }
                std::size_t failed = 0;
                std::string reason;
                const PieceHasher::Outcome outcome = groupHashers[thread].Hash(
                    paths, m_pieces[group.front()].hashes.length, m_sliceSize, asked, &stop,
                    hashes.data(), &failed, &reason);
                if (outcome == PieceHasher::Outcome::kFailed) {
                    outcomes[group[failed]] = outcome;
                    reasons[group[failed]] = reason;
                    stop.store(true);
                    return;
                }
                for (std::size_t k = 0; k < group.size(); ++k) {
                    outcomes[group[k]] = outcome;
                    if (outcome == PieceHasher::Outcome::kHashed) {
                        m_pieces[group[k]].hashes = std::move(hashes[k]);
                    }
                }
            },
            [&] {
                if (!KeepGoing()) {
                    stop.store(true);
                }
            });
        for (std::size_t i = 0; i < m_pieces.size(); ++i) {
            if (outcomes[i] == PieceHasher::Outcome::kFailed) {
                return Status::Fail(Failure::kSource, m_pieces[i].piece->path, reasons[i]);
            }
        }
        if (stop.load() || !KeepGoing()) {
            return Status::Fail(Failure::kStopped, m_request.indexPath, "stopped");
        }
        for (Described& d : m_pieces) {
            if (!ComputeFileId(d.hashes.md5First16k, d.hashes.length, d.utf8Name, &d.fileId)) {
                return Status::Fail(Failure::kSource, d.piece->path, platform::LastSystemError());
            }
        }
        // Input slices are numbered in the order of the File IDs.
        std::sort(m_pieces.begin(), m_pieces.end(),
                  [](const Described& a, const Described& b) { return a.fileId < b.fileId; });
        for (std::size_t i = 1; i < m_pieces.size(); ++i) {
            if (m_pieces[i].fileId == m_pieces[i - 1].fileId) {
                return Status::Fail(Failure::kBadRequest, m_pieces[i].piece->path, "given twice");
            }
        }
        return Status();
    }

    // The pieces as they are hashed: those of one length (all of a split's but its last) in
    // groups that share the vector lanes, where the processor has them; the rest one by one.
    std::vector<std::vector<std::size_t>> GroupsOfOneLength() const {
        std::vector<std::size_t> order(m_pieces.size());
        for (std::size_t i = 0; i < order.size(); ++i) {
            order[i] = i;
        }
        std::vector<std::vector<std::size_t>> groups;
        if (!Md5Lanes::Available()) {
            for (std::size_t i : order) {
                groups.push_back({i});
            }
            return groups;
        }
        std::stable_sort(order.begin(), order.end(), [this](std::size_t a, std::size_t b) {
            return m_pieces[a].hashes.length < m_pieces[b].hashes.length;
        });
        for (std::size_t i : order) {
            const std::uint64_t length = m_pieces[i].hashes.length;
            if (length == 0 || groups.empty() || groups.back().size() == PieceGroupHasher::kMost ||
                m_pieces[groups.back().front()].hashes.length != length) {
                groups.emplace_back();
            }
            groups.back().push_back(i);
        }
        return groups;
    }

    Status MakePackets() {
        // An empty piece has no slice: par2 takes it for a damaged file in the recovery set,
        // so it is described as a file outside it, which is still checked.
        std::vector<Md5Digest> ids;
        std::vector<Md5Digest> emptyIds;
        for (const Described& d : m_pieces) {
            (d.hashes.length > 0 ? ids : emptyIds).push_back(d.fileId);
        }
        const std::string mainBody = PacketWriter::MainBody(m_sliceSize, ids, emptyIds);
        if (!m_writer.Md5(mainBody.data(), mainBody.size(), &m_setId)) {
            return TargetFailure(m_request.indexPath);
        }
        bool ok = m_writer.Append(PacketType::kMain, m_setId, mainBody, &m_critical);
        for (const Described& d : m_pieces) {
            FileDescriptionPacket file;
            file.fileId = d.fileId;
            file.md5 = d.hashes.md5;
            file.md5First16k = d.hashes.md5First16k;
            file.length = d.hashes.length;
            file.name = d.utf8Name;
            SliceChecksumPacket checksums;
            checksums.fileId = d.fileId;
            checksums.slices = d.hashes.slices;
            std::u16string wide;
            ok = ok &&
                 m_writer.Append(PacketType::kFileDescription, m_setId,
                                 PacketWriter::FileDescriptionBody(file), &m_critical) &&
                 (file.length == 0 ||
                  m_writer.Append(PacketType::kSliceChecksums, m_setId,
                                  PacketWriter::SliceChecksumBody(checksums), &m_critical)) &&
                 Utf8ToUtf16(d.utf8Name, &wide) &&
                 m_writer.Append(PacketType::kUnicodeName, m_setId,
                                 PacketWriter::UnicodeNameBody(d.fileId, wide), &m_critical);
        }
        ok = ok && m_writer.Append(PacketType::kCreator, m_setId,
                                   PacketWriter::CreatorBody(m_request.creator), &m_creator);
        if (!ok) {
            return TargetFailure(m_request.indexPath);
        }
        m_result->sliceSize = m_sliceSize;
        m_result->inputSlices = static_cast<std::uint32_t>(TotalSlicesOfPieces());

        // The index, then the volumes, laid out before any is written.
        const std::string base =
            m_request.indexPath.size() > 5 &&
                    m_request.indexPath.compare(m_request.indexPath.size() - 5, 5, ".par2") == 0
                ? m_request.indexPath.substr(0, m_request.indexPath.size() - 5)
                : m_request.indexPath;
        m_baseName = NameOfPath(base);
        m_volumes.emplace_back();
        m_volumes.back().finalPath = base + ".par2";
        m_volumes.back().before = m_critical + m_creator;
        const std::vector<VolumePlan> plan = PlanVolumes(m_request.recoverySlices);
        for (const VolumePlan& part : plan) {
            m_volumes.emplace_back();
            Volume& volume = m_volumes.back();
            volume.finalPath = VolumePath(base, part, plan);
            volume.before = m_critical;
            std::uint64_t at = volume.before.size();
            for (std::uint32_t e = part.firstExponent; e < part.firstExponent + part.count; ++e) {
                volume.exponents.push_back(e);
                volume.packetOffsets.push_back(at);
                at += kPacketHeaderSize + 4 + m_sliceSize;
            }
            // A second copy of the description after the slices, where there are several.
            volume.after = (part.count > 1 ? m_critical : std::string()) + m_creator;
        }
        for (Volume& volume : m_volumes) {
            volume.temporaryPath = TemporaryPath(volume.finalPath);
        }
        return Status();
    }

    std::uint64_t TotalSlicesOfPieces() const {
        std::uint64_t total = 0;
        for (const Described& d : m_pieces) {
            total += d.hashes.slices.size();
        }
        return total;
    }

    Status TargetFailure(const std::string& path) {
        return Status::Fail(Failure::kTarget, path, platform::LastSystemError());
    }

    // Writes `size` bytes at `offset` of the volume's temporary file.
    bool WriteAt(Volume& volume, std::uint64_t offset, const void* data, std::size_t size) {
        return volume.file.Seek(offset) && volume.file.Write(data, size);
    }

    Status WriteRecovery() {
        // What a killed run of this name left is removed first, unless a live one holds it.
        RemoveLeftovers(FolderOfPath(m_request.indexPath), m_baseName);
        for (Volume& volume : m_volumes) {
            if (!volume.own.Create(volume.temporaryPath, &volume.file)) {
                return TargetFailure(volume.temporaryPath);
            }
            volume.made = true;
            if (!volume.file.Write(volume.before.data(), volume.before.size())) {
                return TargetFailure(volume.temporaryPath);
            }
            if (!volume.exponents.empty()) {
                const std::uint64_t end =
                    volume.packetOffsets.back() + kPacketHeaderSize + 4 + m_sliceSize;
                if (!WriteAt(volume, end, volume.after.data(), volume.after.size())) {
                    return TargetFailure(volume.temporaryPath);
                }
            }
        }
        if (m_request.recoverySlices == 0) {
            return Status();
        }
        AccumulationJob job;
        job.sliceSize = m_sliceSize;
        job.memoryBudget = m_request.memoryBudget;
        for (const Described& d : m_pieces) {
            for (std::uint64_t k = 0; k < d.hashes.slices.size(); ++k) {
                const std::uint64_t offset = k * m_sliceSize;
                job.inputs.push_back(
                    {d.piece->path, offset, std::min(m_sliceSize, d.hashes.length - offset)});
                job.inputIndices.push_back(static_cast<std::uint32_t>(job.inputIndices.size()));
            }
        }
        // Output r is the slice of exponent r: where its data goes.
        std::vector<std::pair<Volume*, std::uint64_t>> places;
        for (std::size_t v = 1; v < m_volumes.size(); ++v) {
            for (std::size_t k = 0; k < m_volumes[v].exponents.size(); ++k) {
                job.exponents.push_back(m_volumes[v].exponents[k]);
                places.push_back(
                    {&m_volumes[v], m_volumes[v].packetOffsets[k] + kPacketHeaderSize + 4});
            }
        }
        std::string failedPath;
        std::string reason;
        StripedAccumulator accumulator;
        const StripedAccumulator::Outcome outcome = accumulator.Run(
            job,
            [&](std::uint64_t offset, std::size_t width,
                const std::vector<const std::uint8_t*>& outputs) {
                for (std::size_t r = 0; r < outputs.size(); ++r) {
                    if (!WriteAt(*places[r].first, places[r].second + offset, outputs[r], width)) {
                        failedPath = places[r].first->temporaryPath;
                        reason = platform::LastSystemError();
                        return false;
                    }
                }
                return true;
            },
            m_keepGoing, &failedPath, &reason);
        return StripedAccumulator::StatusOf(outcome, failedPath, reason, m_request.indexPath);
    }

    // A recovery slice being read back, and its head once hashed.
    struct Slice {
        Volume* volume;
        std::size_t k;
        std::string head;
        bool ok = false;
        std::string reason;
    };
    // One thread's files and buffer for reading slices back, a file per lane.
    struct SliceReader {
        FileSource sources[Md5Lanes::kLanes];
        const Volume* opened[Md5Lanes::kLanes] = {};
        std::vector<unsigned char> buffer;
    };

    // Where the data of `s` starts in its volume.
    std::uint64_t DataOffset(const Slice& s) const {
        return s.volume->packetOffsets[s.k] + kPacketHeaderSize + 4;
    }

    // Opens lane `lane`'s file for `s`, keeping it open when it is the one open already.
    static bool OpenFor(SliceReader& reader, std::size_t lane, const Slice& s) {
        if (reader.opened[lane] != s.volume) {
            reader.opened[lane] =
                reader.sources[lane].Open(s.volume->temporaryPath) ? s.volume : nullptr;
        }
        return reader.opened[lane] != nullptr;
    }

    // False when the work is to stop: on a failure (the slice says why) or when asked to.
    template <typename KeepOn>
    bool SealAlone(Slice* s, SliceReader& reader, const KeepOn& keepOn) {
        PacketWriter writer;
        reader.buffer.resize(std::size_t{64} << 10);
        bool ok = OpenFor(reader, 0, *s) &&
                  writer.StartRecoverySlice(m_setId, s->volume->exponents[s->k]);
        for (std::uint64_t done = 0; ok && done < m_sliceSize;) {
            const std::size_t step = static_cast<std::size_t>(
                std::min<std::uint64_t>(reader.buffer.size(), m_sliceSize - done));
            ok = reader.sources[0].ReadAt(DataOffset(*s) + done, reader.buffer.data(), step) &&
                 writer.AddRecoveryData(reader.buffer.data(), step);
            done += step;
            if (ok && done < m_sliceSize && !keepOn()) {
                return false;
            }
        }
        s->ok = ok && writer.FinishRecoverySlice(m_sliceSize, &s->head);
        if (!s->ok) {
            s->reason = platform::LastSystemError();
        }
        return s->ok;
    }

    template <typename KeepOn>
    bool SealGroup(Slice* group, std::size_t count, SliceReader& reader, const KeepOn& keepOn) {
        constexpr std::size_t kStep = std::size_t{8} << 10;
        Md5Lanes lanes;
        std::string prefixes[Md5Lanes::kLanes];
        const unsigned char* data[Md5Lanes::kLanes];
        for (std::size_t lane = 0; lane < Md5Lanes::kLanes; ++lane) {
            const Slice& s = group[lane < count ? lane : 0];
            prefixes[lane] = PacketWriter::RecoverySlicePrefix(m_setId, s.volume->exponents[s.k]);
            data[lane] = reinterpret_cast<const unsigned char*>(prefixes[lane].data());
        }
        lanes.Update(data, prefixes[0].size());
        reader.buffer.resize(Md5Lanes::kLanes * kStep);
        for (std::size_t lane = 0; lane < Md5Lanes::kLanes; ++lane) {
            data[lane] = reader.buffer.data() + (lane < count ? lane : 0) * kStep;
        }
        const auto failed = [&](std::size_t lane) {
            group[lane].reason = platform::LastSystemError();
            return false;
        };
        std::uint64_t sinceAsked = 0;
        for (std::uint64_t done = 0; done < m_sliceSize;) {
            const std::size_t step =
                static_cast<std::size_t>(std::min<std::uint64_t>(kStep, m_sliceSize - done));
            for (std::size_t lane = 0; lane < count; ++lane) {
                if (!OpenFor(reader, lane, group[lane]) ||
                    !reader.sources[lane].ReadAt(DataOffset(group[lane]) + done,
                                                 reader.buffer.data() + lane * kStep, step)) {
                    return failed(lane);
                }
            }
            lanes.Update(data, step);
            done += step;
            sinceAsked += step * count;
            if (sinceAsked >= kKeepGoingInterval) {
                sinceAsked = 0;
                if (!keepOn()) {
                    return false;
                }
            }
        }
        Md5Digest digests[Md5Lanes::kLanes];
        lanes.Finish(digests);
        for (std::size_t lane = 0; lane < count; ++lane) {
            Slice& s = group[lane];
            s.head = PacketWriter::RecoverySliceHead(m_setId, s.volume->exponents[s.k], m_sliceSize,
                                                     digests[lane]);
            s.ok = true;
        }
        return true;
    }

    // The recovery slices' packet headers need the MD5 of their data, read back here: a
    // group of them at once on the vector lanes where the processor has them, else one by one.
    Status SealRecovery() {
        for (Volume& volume : m_volumes) {
            if (!volume.file.Close()) {
                return TargetFailure(volume.temporaryPath);
            }
        }
        std::vector<Slice> slices;
        for (Volume& volume : m_volumes) {
            for (std::size_t k = 0; k < volume.exponents.size(); ++k) {
                slices.push_back(Slice{&volume, k, {}, false, {}});
            }
        }
        const std::size_t perGroup = Md5Lanes::Available() ? Md5Lanes::kLanes : 1;
        std::atomic<bool> stop{false};
        SliceReader readers[2];
        const auto goOn = [&](int thread) {
            if (thread == 0 && !KeepGoing()) {
                stop.store(true);
            }
            return !stop.load();
        };
        ShareWork((slices.size() + perGroup - 1) / perGroup,
                  [&](std::size_t g, int thread) {
                      Slice* group = slices.data() + g * perGroup;
                      const std::size_t count = std::min(perGroup, slices.size() - g * perGroup);
                      const auto keepOn = [&] { return goOn(thread); };
                      const bool done = perGroup == 1
                                            ? SealAlone(group, readers[thread], keepOn)
                                            : SealGroup(group, count, readers[thread], keepOn);
                      if (!done) {
                          stop.store(true);
                      }
                  },
                  [&] { goOn(0); });
        // Closed before the volumes are opened to be written again.
        for (SliceReader& reader : readers) {
            for (FileSource& source : reader.sources) {
                source.Close();
            }
        }
        for (const Slice& s : slices) {
            if (!s.ok && !s.reason.empty()) {
                return Status::Fail(Failure::kTarget, s.volume->temporaryPath, s.reason);
            }
        }
        if (stop.load()) {
            return Status::Fail(Failure::kStopped, m_request.indexPath, "stopped");
        }
        for (Volume& volume : m_volumes) {
            if (!volume.file.Open(volume.temporaryPath, platform::File::Access::kWriteExisting)) {
                return TargetFailure(volume.temporaryPath);
            }
        }
        for (const Slice& s : slices) {
            if (!WriteAt(*s.volume, s.volume->packetOffsets[s.k], s.head.data(), s.head.size())) {
                return TargetFailure(s.volume->temporaryPath);
            }
        }
        for (Volume& volume : m_volumes) {
            if (!volume.file.Flush() || !volume.file.Close()) {
                return TargetFailure(volume.temporaryPath);
            }
        }
        return Status();
    }

    // Renamed while still claimed, so that no other run takes them for leftovers meanwhile.
    Status Rename() {
        if (!KeepGoing()) {
            return Status::Fail(Failure::kStopped, m_request.indexPath, "stopped");
        }
        for (Volume& volume : m_volumes) {
            if (!platform::RenameFile(volume.temporaryPath, volume.finalPath)) {
                return TargetFailure(volume.finalPath);
            }
            volume.renamed = true;
            volume.own.Release();
            m_result->files.push_back(volume.finalPath);
        }
        const std::string folder = FolderOfPath(m_request.indexPath);
        if (!platform::FlushFolder(folder.empty() ? "." : folder)) {
            return TargetFailure(folder);
        }
        return Status();
    }

    const CreateRequest& m_request;
    const recovery::KeepGoing& m_keepGoing;
    CreateResult* m_result;
    std::vector<Described> m_pieces;
    std::uint64_t m_sliceSize = 0;
    PacketWriter m_writer;
    Md5Digest m_setId{};
    std::string m_critical;  // main, descriptions, checksums and names
    std::string m_creator;
    std::deque<Volume> m_volumes;  // files stay put as more are added
    std::string m_baseName;        // NAME of NAME.par2
};

}  // namespace

std::uint64_t ChooseSliceSize(const std::vector<std::uint64_t>& lengths,
                              std::uint32_t recoverySlices,
                              std::uint64_t memoryBudget) {
    const std::uint64_t largest =
        lengths.empty() ? 0 : *std::max_element(lengths.begin(), lengths.end());
    if (largest == 0) {
        return 4;
    }
    auto roundUp = [](std::uint64_t size) { return (size + 3) & ~std::uint64_t{3}; };
    // Every recovery slice and a batch of inputs whole in memory, so that one pass does;
    // the piece divided into equal parts no larger than that.
    const std::uint64_t fits = std::max<std::uint64_t>(
        4, memoryBudget / (std::uint64_t{recoverySlices} + 8) & ~std::uint64_t{3});
    const std::uint64_t parts = (largest + fits - 1) / fits;
    std::uint64_t size = roundUp((largest + parts - 1) / parts);
    if (TotalSlices(lengths, size) <= kMaxInputSlices) {
        return size;
    }
    // Too many slices: the smallest size that keeps to the limit, at the cost of more passes.
    std::uint64_t low = size;
    std::uint64_t high = roundUp(largest);
    if (TotalSlices(lengths, high) > kMaxInputSlices) {
        return 0;
    }
    while (high - low > 4) {
        const std::uint64_t middle = roundUp(low + (high - low) / 2);
        if (middle >= high) {
            break;
        }
        (TotalSlices(lengths, middle) <= kMaxInputSlices ? high : low) = middle;
    }
    return high;
}

Status CreateRecoveryFiles(const CreateRequest& request,
                           const KeepGoing& keepGoing,
                           CreateResult* result) {
    *result = CreateResult();
    Creation creation(request, keepGoing, result);
    Status status = creation.Make();
    if (!status.Ok()) {
        result->files.clear();
    }
    return status;
}

}  // namespace recovery
