// The field, the slice constants, every region kernel the processor runs, the in-memory
// encoder and the solving of lost slices, checked against references written here.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <random>
#include <set>
#include <vector>

#include "platform/hash.h"
#include "recovery/crc32.h"
#include "recovery/galois_field.h"
#include "recovery/md5_lanes.h"
#include "recovery/recovery_matrix.h"
#include "recovery/region_multiply.h"
#include "recovery/slice_constants.h"
#include "recovery/slice_encoder.h"

namespace {

using namespace recovery;

// Carry-less product reduced by the generator polynomial, bit by bit: shares nothing with
// the tables under test.
std::uint16_t SlowMultiply(std::uint16_t a, std::uint16_t b) {
    std::uint32_t product = 0;
    for (int i = 0; i < 16; ++i) {
        if (b & (1u << i)) {
            product ^= std::uint32_t{a} << i;
        }
    }
    for (int bit = 31; bit >= 16; --bit) {
        if (product & (1u << bit)) {
            product ^= 0x1100Bu << (bit - 16);
        }
    }
    return static_cast<std::uint16_t>(product);
}

std::vector<std::uint8_t> RandomBytes(std::size_t size, std::mt19937& random) {
    std::vector<std::uint8_t> bytes(size);
    for (auto& b : bytes) {
        b = static_cast<std::uint8_t>(random());
    }
    return bytes;
}

TEST(Field, ProductsInverseAndPowersAgreeWithTheBitwiseReference) {
    std::mt19937 random(7);
    for (int n = 0; n < 20000; ++n) {
        const auto a = static_cast<std::uint16_t>(random());
        const auto b = static_cast<std::uint16_t>(random());
        const auto c = static_cast<std::uint16_t>(random());
        ASSERT_EQ(gf::Multiply(a, b), SlowMultiply(a, b)) << a << " * " << b;
        ASSERT_EQ(gf::Multiply(a, b ^ c), gf::Multiply(a, b) ^ gf::Multiply(a, c));
        if (b != 0) {
            ASSERT_EQ(gf::Divide(gf::Multiply(a, b), b), a);
            ASSERT_EQ(gf::Multiply(b, gf::Inverse(b)), 1);
        }
        const std::uint32_t e = random() % 200000;
        std::uint16_t power = 1;
        for (std::uint32_t k = 0; k < e % 70; ++k) {
            power = SlowMultiply(power, a);
        }
        ASSERT_EQ(gf::Power(a, e % 70), power);
        ASSERT_EQ(gf::Power(a, e), gf::Power(a, e % 65535 == 0 && a != 0 ? 65535 : e % 65535));
    }
    // 2 generates the whole group: every non-zero element is a power of 2, exactly once.
    std::vector<bool> seen(65536, false);
    for (std::uint32_t n = 0; n < 65535; ++n) {
        const std::uint16_t v = gf::Exp(n);
        ASSERT_FALSE(seen[v]) << n;
        seen[v] = true;
        ASSERT_EQ(gf::Log(v), n);
    }
    EXPECT_FALSE(seen[0]);
}

TEST(Field, InputSliceConstantsAreDistinctPowersOfFullOrder) {
    const std::uint16_t first[] = {2, 4, 16, 128, 256, 2048, 8192, 16384, 4107, 32856, 17132};
    for (std::uint32_t i = 0; i < sizeof first / sizeof first[0]; ++i) {
        EXPECT_EQ(InputSliceConstant(i), first[i]) << i;
    }
    std::set<std::uint16_t> constants;
    for (std::uint32_t i = 0; i < kMaxInputSlices; ++i) {
        const std::uint16_t c = InputSliceConstant(i);
        constants.insert(c);
        for (std::uint32_t prime : {3u, 5u, 17u, 257u}) {
            ASSERT_NE(gf::Power(c, 65535 / prime), 1) << "constant " << i << " order / " << prime;
        }
        ASSERT_EQ(RecoveryCoefficient(i, 3), gf::Multiply(c, gf::Multiply(c, c)));
    }
    EXPECT_EQ(constants.size(), kMaxInputSlices);
    EXPECT_EQ(RecoveryCoefficient(5, 0), 1);
}

// Every kernel against the portable one, and the portable one against word-by-word products:
// lengths around every vector width, unaligned pointers, special factors.
TEST(RegionKernels, EveryKernelMatchesTheReferenceOnRandomRegions) {
    const std::size_t sizes[] = {0,   2,   14,  30,  32,  34,  62,  64,  66,   126,  128,
                                 130, 190, 254, 256, 258, 510, 512, 514, 1000, 4098, 65536 + 6};
    const std::size_t offsets[][2] = {{0, 0}, {1, 3}, {2, 0}, {7, 5}, {0, 33}};
    const std::uint16_t fixedFactors[] = {1, 2, 0x8000, 0xFFFF, 0x100B};
    const std::vector<RegionKernel> kernels = SupportedRegionKernels();
    ASSERT_FALSE(kernels.empty());
    EXPECT_STREQ(kernels.front().name, "generic");
    EXPECT_STREQ(kernels.back().name, RegionKernelName());
    std::string names;
    for (const RegionKernel& kernel : kernels) {
        names += std::string(" ") + kernel.name;
    }
    std::printf("region kernels run here:%s\n", names.c_str());
    std::mt19937 random(11);
    for (const RegionKernel& kernel : kernels) {
        SCOPED_TRACE(kernel.name);
        for (std::size_t size : sizes) {
            for (const auto& offset : offsets) {
                std::vector<std::uint16_t> factors(std::begin(fixedFactors),
                                                   std::end(fixedFactors));
                factors.push_back(static_cast<std::uint16_t>(random() | 1));
                for (std::uint16_t factor : factors) {
                    const std::vector<std::uint8_t> src = RandomBytes(size + 40, random);
                    const std::vector<std::uint8_t> dst = RandomBytes(size + 40, random);
                    std::vector<std::uint8_t> expected = dst;
                    for (std::size_t i = 0; i + 1 < size; i += 2) {
                        const std::uint8_t* s = &src[offset[0] + i];
                        const std::uint16_t p = SlowMultiply(factor, s[0] | s[1] << 8);
                        expected[offset[1] + i] ^= static_cast<std::uint8_t>(p);
                        expected[offset[1] + i + 1] ^= static_cast<std::uint8_t>(p >> 8);
                    }
                    std::vector<std::uint8_t> got = dst;
                    kernel.function(&got[offset[1]], &src[offset[0]], size, factor);
                    ASSERT_EQ(got, expected) << "size " << size << " offsets " << offset[0] << ","
                                             << offset[1] << " factor " << factor;
                }
            }
        }
    }
    // The dispatched call: a factor 0 leaves the region alone.
    std::vector<std::uint8_t> region = RandomBytes(100, random);
    const std::vector<std::uint8_t> before = region;
    MultiplyAccumulate(region.data(), before.data(), 100, 0);
    EXPECT_EQ(region, before);
    // Many outputs from one source, more than one call of the kernel takes, a factor 0 among
    // them: each as the dispatched call makes it alone.
    for (std::size_t size : {0, 62, 64, 130, 4098}) {
        for (std::size_t count : {1, 13, 40}) {
            const std::vector<std::uint8_t> src = RandomBytes(size, random);
            std::vector<std::vector<std::uint8_t>> got;
            std::vector<std::vector<std::uint8_t>> expected;
            std::vector<std::uint8_t*> outputs;
            std::vector<PreparedFactor> factors;
            for (std::size_t r = 0; r < count; ++r) {
                got.push_back(RandomBytes(size, random));
                expected.push_back(got.back());
                const auto factor = static_cast<std::uint16_t>(r == 5 ? 0 : random());
                factors.push_back(PrepareFactor(factor));
                MultiplyAccumulate(expected.back().data(), src.data(), size, factor);
            }
            for (auto& output : got) {
                outputs.push_back(output.data());
            }
            MultiplyAccumulateMany(outputs.data(), factors.data(), count, src.data(), size);
            ASSERT_EQ(got, expected) << "size " << size << " outputs " << count;
        }
    }
}

struct EncodedSet {
    std::size_t sliceSize;
    std::vector<std::vector<std::uint8_t>> inputs;
    SliceEncoder encoder;
};

void Encode(std::size_t count,
            std::size_t sliceSize,
            const std::vector<std::uint32_t>& exponents,
            std::mt19937& random,
            EncodedSet* set) {
    set->sliceSize = sliceSize;
    set->inputs.clear();
    for (std::size_t i = 0; i < count; ++i) {
        set->inputs.push_back(RandomBytes(sliceSize, random));
    }
    ASSERT_TRUE(set->encoder.Start(sliceSize, exponents));
    std::vector<std::uint32_t> order(count);
    for (std::uint32_t i = 0; i < count; ++i) {
        order[i] = i;
    }
    std::shuffle(order.begin(), order.end(), random);
    for (std::uint32_t i : order) {
        set->encoder.Add(i, set->inputs[i].data(), sliceSize);
    }
}

TEST(Crc32, MatchesTheBitwiseReferenceAtEveryLengthAndAlignment) {
    std::mt19937 random(9);
    const std::vector<std::uint8_t> bytes = RandomBytes(5000, random);
    const auto reference = [&](std::uint32_t crc, std::size_t from, std::size_t size) {
        crc = ~crc;
        for (std::size_t i = from; i < from + size; ++i) {
            crc ^= bytes[i];
            for (int bit = 0; bit < 8; ++bit) {
                crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
            }
        }
        return ~crc;
    };
    EXPECT_EQ(Crc32(0, "123456789", 9), 0xCBF43926u);
    for (std::size_t size = 0; size < 300; ++size) {
        for (std::size_t from : {0, 1, 13}) {
            const std::uint32_t start = size % 2 == 0 ? 0 : static_cast<std::uint32_t>(random());
            ASSERT_EQ(Crc32(start, &bytes[from], size), reference(start, from, size))
                << "size " << size << " from " << from;
        }
    }
    // Continued in parts of any length, as the slices' checksums are made.
    std::uint32_t parts = 0;
    for (std::size_t at = 0, step = 1; at < bytes.size(); at += step, step = step * 3 % 257 + 1) {
        parts = Crc32(parts, &bytes[at], std::min(step, bytes.size() - at));
    }
    EXPECT_EQ(parts, reference(0, 0, bytes.size()));
}

TEST(Md5Lanes, EveryLaneMatchesTheSystemMd5HoweverTheStreamIsCut) {
    if (!Md5Lanes::Available()) {
        GTEST_SKIP() << "the processor has no AVX2";
    }
    std::mt19937 random(5);
    Md5Lanes lanes;
    for (std::size_t length : {0, 1, 55, 56, 63, 64, 65, 119, 120, 128, 16384, 70001}) {
        SCOPED_TRACE(length);
        std::vector<std::uint8_t> streams[Md5Lanes::kLanes];
        for (auto& stream : streams) {
            stream = RandomBytes(length, random);
        }
        for (std::size_t at = 0; at < length;) {
            const std::size_t step = std::min<std::size_t>(length - at, 1 + random() % 300);
            const unsigned char* data[Md5Lanes::kLanes];
            for (std::size_t lane = 0; lane < Md5Lanes::kLanes; ++lane) {
                data[lane] = streams[lane].data() + at;
            }
            lanes.Update(data, step);
            at += step;
        }
        Md5Digest got[Md5Lanes::kLanes];
        lanes.Finish(got);
        platform::Hash md5(platform::HashAlgorithm::kMd5);
        for (std::size_t lane = 0; lane < Md5Lanes::kLanes; ++lane) {
            Md5Digest expected{};
            ASSERT_TRUE(md5.Begin() && md5.Update(streams[lane].data(), length) &&
                        md5.End(expected.data()));
            EXPECT_EQ(got[lane], expected) << "lane " << lane;
        }
    }
}

TEST(SliceEncoder, RecoveryIsTheCoefficientSumWhateverTheOrderOfTheInputs) {
    std::mt19937 random(5);
    EncodedSet set;
    Encode(9, 68, {0, 1, 7, 65534}, random, &set);
    for (std::size_t r = 0; r < 4; ++r) {
        const std::uint32_t e = set.encoder.Exponents()[r];
        for (std::size_t w = 0; w < 68; w += 2) {
            std::uint16_t sum = 0;
            for (std::uint32_t i = 0; i < 9; ++i) {
                const std::uint16_t word = set.inputs[i][w] | set.inputs[i][w + 1] << 8;
                sum ^= SlowMultiply(gf::Power(InputSliceConstant(i), e), word);
            }
            const std::uint8_t* out = set.encoder.Slice(r) + w;
            ASSERT_EQ(out[0] | out[1] << 8, sum) << "exponent " << e << " word " << w / 2;
        }
    }
    // A short slice counts as zero-padded, an odd length included.
    SliceEncoder shortOne;
    SliceEncoder padded;
    ASSERT_TRUE(shortOne.Start(8, {3}));
    ASSERT_TRUE(padded.Start(8, {3}));
    const std::uint8_t data[8] = {9, 8, 7, 0, 0, 0, 0, 0};
    shortOne.Add(4, data, 3);
    padded.Add(4, data, 8);
    EXPECT_EQ(std::memcmp(shortOne.Slice(0), padded.Slice(0), 8), 0);
    // Sizes that break the memory bound or the format are refused.
    EXPECT_FALSE(shortOne.Start(6, {1}));
    EXPECT_FALSE(shortOne.Start(std::size_t{64} << 20, {1, 2, 3, 4}));
}

// Lost slices solved from recovery slices, for random sets and erasure patterns.
TEST(RecoveryMatrix, LostSlicesComeBackFromAnyEnoughRecoverySlices) {
    struct Case {
        std::size_t inputs;
        std::size_t lost;
        std::vector<std::uint32_t> exponents;
        SolveOutcome outcome;
        bool consecutive;  // solved in place, with no inverse
    };
    const Case cases[] = {
        {1, 1, {0}, SolveOutcome::kSolved, true},
        {5, 2, {0, 1, 2}, SolveOutcome::kSolved, true},
        {20, 6, {0, 1, 2, 3, 4, 5}, SolveOutcome::kSolved, true},
        {20, 6, {3, 900, 17, 65534, 2, 40000, 8}, SolveOutcome::kSolved, false},
        {40, 13, {12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1, 0}, SolveOutcome::kSolved, true},
        {30, 5, {40, 7, 41, 42, 1, 43, 44}, SolveOutcome::kSolved, true},
        {30, 3, {65532, 65533, 65534}, SolveOutcome::kSolved, true},
        {10, 4, {0, 1, 2}, SolveOutcome::kNotEnough, false},
        {10, 0, {}, SolveOutcome::kSolved, true},
    };
    std::mt19937 random(3);
    for (const Case& c : cases) {
        for (int round = 0; round < 4; ++round) {
            SCOPED_TRACE(testing::Message()
                         << c.inputs << " inputs, " << c.lost << " lost, round " << round);
            EncodedSet set;
            Encode(c.inputs, 36, c.exponents.empty() ? std::vector<std::uint32_t>{0} : c.exponents,
                   random, &set);
            std::vector<std::uint32_t> all(c.inputs);
            for (std::uint32_t i = 0; i < c.inputs; ++i) {
                all[i] = i;
            }
            std::shuffle(all.begin(), all.end(), random);
            const std::vector<std::uint32_t> lost(all.begin(), all.begin() + c.lost);
            Solution solution;
            ASSERT_EQ(SolveLostSlices(lost, c.exponents, KeepGoing(), &solution), c.outcome);
            if (c.outcome != SolveOutcome::kSolved) {
                continue;
            }
            ASSERT_EQ(solution.exponents.size(), c.lost);
            // What each recovery slice used holds beyond the known slices' share.
            std::vector<std::vector<std::uint8_t>> remainder;
            for (std::uint32_t e : solution.exponents) {
                const std::size_t r =
                    std::find(c.exponents.begin(), c.exponents.end(), e) - c.exponents.begin();
                ASSERT_LT(r, c.exponents.size());
                std::vector<std::uint8_t> rest(set.encoder.Slice(r), set.encoder.Slice(r) + 36);
                for (std::uint32_t i = 0; i < c.inputs; ++i) {
                    if (std::find(lost.begin(), lost.end(), i) == lost.end()) {
                        MultiplyAccumulate(rest.data(), set.inputs[i].data(), 36,
                                           RecoveryCoefficient(i, e));
                    }
                }
                remainder.push_back(rest);
            }
            // Consecutive exponents are solved in place, others through the inverse.
            EXPECT_EQ(solution.inverse.empty(), c.consecutive);
            std::vector<std::uint8_t*> rows;
            for (std::vector<std::uint8_t>& row : remainder) {
                rows.push_back(row.data());
            }
            std::vector<std::uint8_t> scratch(36);
            if (solution.inverse.empty()) {
                ASSERT_TRUE(SolveConsecutive(solution, rows.data(), 36, scratch.data(),
                                             [](std::uint64_t) { return true; }));
            }
            for (std::size_t m = 0; m < c.lost; ++m) {
                std::vector<std::uint8_t> rebuilt(36, 0);
                for (std::size_t j = 0; j < c.lost && !solution.inverse.empty(); ++j) {
                    MultiplyAccumulate(rebuilt.data(), remainder[j].data(), 36,
                                       solution.inverse[m * c.lost + j]);
                }
                ASSERT_EQ(solution.inverse.empty() ? remainder[m] : rebuilt, set.inputs[lost[m]])
                    << "lost slice " << lost[m];
            }
        }
    }
    // Beyond the inverse's bound only consecutive exponents solve; the elimination stops when
    // asked.
    std::vector<std::uint32_t> many(kMaxSolvedSlices + 1);
    std::vector<std::uint32_t> spread(kMaxSolvedSlices + 1);
    for (std::uint32_t i = 0; i < many.size(); ++i) {
        many[i] = i;
        spread[i] = 2 * i;
    }
    Solution solution;
    EXPECT_EQ(SolveLostSlices(many, spread, KeepGoing(), &solution), SolveOutcome::kTooLarge);
    EXPECT_EQ(SolveLostSlices(many, many, KeepGoing(), &solution), SolveOutcome::kSolved);
    EXPECT_EQ(SolvableSlices(spread), kMaxSolvedSlices);
    EXPECT_EQ(SolvableSlices(many), kMaxSolvedSlices + 1);
    many.resize(100);
    spread.resize(100);
    int asked = 0;
    EXPECT_EQ(SolveLostSlices(
                  many, spread, [&] { return ++asked < 3; }, &solution),
              SolveOutcome::kStopped);
    EXPECT_EQ(asked, 3);
}

}  // namespace
