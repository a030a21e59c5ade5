// Each effect's rule on small hand-computed pictures: edges, clamping, the
// alpha byte, and where in-place and buffered results differ by design.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "EffectHarness.h"

namespace pixfilter_test {
namespace {

struct RuleCase {
    const char* label;
    const char* effect;
    std::optional<Parameter> parameter;
    Picture input;
    std::vector<uint32_t> inPlace;
    // Empty: the buffered result equals inPlace. Rotate has no buffered form.
    std::vector<uint32_t> toBuffer;
};

void PrintTo(const RuleCase& c, std::ostream* os) { *os << c.label; }


const uint32_t kRed = Bgra(0, 0, 255, 0x09);
const uint32_t kA = Bgra(1, 2, 3, 0x11), kB = Bgra(4, 5, 6, 0x22), kC = Bgra(7, 8, 9, 0x33);
const uint32_t kD = Bgra(10, 11, 12, 0x44), kE = Bgra(13, 14, 15, 0x55), kF = Bgra(16, 17, 18, 0x66);

// The colour of one pixel with the alpha byte of another.
constexpr uint32_t ColourWithAlpha(uint32_t colour, uint32_t alphaFrom) {
    return (colour & 0x00FFFFFFu) | (alphaFrom & 0xFF000000u);
}

const RuleCase kRuleCases[] = {
    // Source (column j, row i) lands at packed position i + h * (w - 1 - j);
    // each destination keeps its own alpha byte.
    {"RotateQuarterTurn", "Rotate", Parameter{"RotateAngle", 90, 4},
     {3, 2, {kA, kB, kC, kD, kE, kF}},
     {ColourWithAlpha(kC, kA), ColourWithAlpha(kF, kB), ColourWithAlpha(kB, kC),
      ColourWithAlpha(kE, kD), ColourWithAlpha(kA, kE), ColourWithAlpha(kD, kF)}, {}},

    {"RotateAngleAboveOneTurnIsReduced", "Rotate", Parameter{"RotateAngle", 450, 4},
     {3, 2, {kA, kB, kC, kD, kE, kF}},
     {ColourWithAlpha(kC, kA), ColourWithAlpha(kF, kB), ColourWithAlpha(kB, kC),
      ColourWithAlpha(kE, kD), ColourWithAlpha(kA, kE), ColourWithAlpha(kD, kF)}, {}},

    {"RotateHalfTurn", "Rotate", Parameter{"RotateAngle", 180, 4},
     {3, 2, {kA, kB, kC, kD, kE, kF}},
     {ColourWithAlpha(kF, kA), ColourWithAlpha(kE, kB), ColourWithAlpha(kD, kC),
      ColourWithAlpha(kC, kD), ColourWithAlpha(kB, kE), ColourWithAlpha(kA, kF)}, {}},

    // Minus a quarter turn is three quarters: (j, i) lands at (h - 1 - i) + h * j.
    {"RotateNegativeQuarterIsThreeQuarters", "Rotate", Parameter{"RotateAngle", -90, 4},
     {3, 2, {kA, kB, kC, kD, kE, kF}},
     {ColourWithAlpha(kD, kA), ColourWithAlpha(kA, kB), ColourWithAlpha(kE, kC),
      ColourWithAlpha(kB, kD), ColourWithAlpha(kF, kE), ColourWithAlpha(kC, kF)}, {}},

    {"RotateByNothing", "Rotate", std::nullopt,
     {2, 1, {kA, kB}}, {kA, kB}, {}},

    {"BlackAndWhiteMeanInPlaceWeightedIntoBuffer", "BlackAndWhite", std::nullopt,
     {2, 1, {Bgra(10, 20, 31, 0x80), Bgra(255, 255, 255, 0)}},
     {Bgra(20, 20, 20, 0x80), Bgra(255, 255, 255, 0)},
     {Bgra(22, 22, 22, 0x80), Bgra(255, 255, 255, 0)}},

    {"ExposalTurnsOnlyBytesBelow128", "Exposal", std::nullopt,
     {2, 1, {Bgra(128, 127, 0, 0x11), Bgra(255, 1, 200, 0x7F)}},
     {Bgra(128, 128, 255, 0x11), Bgra(255, 254, 200, 0x7F)}, {}},

    {"InvertColorKeepsAlpha", "InvertColor", std::nullopt,
     {1, 1, {Bgra(0, 100, 255, 0x42)}}, {Bgra(255, 155, 0, 0x42)}, {}},

    {"PurpleFeedsNewRedIntoBlueOnlyInPlace", "Purple", std::nullopt,
     {2, 1, {kRed, Bgra(10, 20, 31, 0xEE)}},
     {Bgra(63, 0, 127, 0x09), Bgra(17, 15, 25, 0xEE)},
     {Bgra(127, 0, 127, 0x09), Bgra(20, 15, 25, 0xEE)}},

    {"SpookyPullsGreenAndBlueTowardsRed", "Spooky", std::nullopt,
     {2, 1, {Bgra(0, 0, 200, 0x01), Bgra(50, 60, 7, 0xFF)}},
     {Bgra(100, 100, 200, 0x01), Bgra(28, 33, 7, 0xFF)}, {}},

    // Emboss/Engrave: only p(0,0) has a lower-right neighbour in a 2 x 2 picture.
    {"EmbossClampsBothWaysAndKeepsLastRowAndColumn", "Emboss", std::nullopt,
     {2, 2, {Bgra(250, 0, 100, 0x33), kA, kB, Bgra(0, 250, 100, 0x44)}},
     {Bgra(255, 0, 128, 0x33), kA, kB, Bgra(0, 250, 100, 0x44)}, {}},

    {"EmbossFlatPictureBecomesTheNumber", "Emboss", std::nullopt,
     {3, 2, std::vector<uint32_t>(6, Bgra(50, 50, 50, 0x77))},
     {Bgra(128, 128, 128, 0x77), Bgra(128, 128, 128, 0x77), Bgra(50, 50, 50, 0x77),
      Bgra(50, 50, 50, 0x77), Bgra(50, 50, 50, 0x77), Bgra(50, 50, 50, 0x77)}, {}},

    {"EmbossUsesItsNumber", "Emboss", Parameter{"Emboss_Number", 10},
     {2, 2, {Bgra(250, 0, 100, 0x33), kA, kB, Bgra(0, 250, 100, 0x44)}},
     {Bgra(255, 0, 10, 0x33), kA, kB, Bgra(0, 250, 100, 0x44)}, {}},

    {"EngraveSubtractsThePixelFromItsNeighbour", "Engrave", std::nullopt,
     {2, 2, {Bgra(250, 0, 100, 0x33), kA, kB, Bgra(0, 250, 100, 0x44)}},
     {Bgra(0, 255, 128, 0x33), kA, kB, Bgra(0, 250, 100, 0x44)}, {}},

    {"EngraveOnOneRowChangesNothing", "Engrave", std::nullopt,
     {3, 1, {kA, kB, kC}}, {kA, kB, kC}, {}},

    {"EmbossOnOneColumnChangesNothing", "Emboss", std::nullopt,
     {1, 3, {kA, kB, kC}}, {kA, kB, kC}, {}},

    // Row 1 rises by half its difference to row 0 (clamped at 255). In place,
    // row 2 is compared with the sharpened row 1 and the negative differences
    // round down (-45 >> 1 = -23); into the buffer row 2 equals its source row.
    {"SharpenRunsDownThePicture", "Sharpen", std::nullopt,
     {1, 3, {Bgra(10, 10, 10, 0x01), Bgra(30, 100, 250, 0x02), Bgra(30, 100, 250, 0x03)}},
     {Bgra(10, 10, 10, 0x01), Bgra(40, 145, 255, 0x02), Bgra(25, 77, 247, 0x03)},
     {Bgra(10, 10, 10, 0x01), Bgra(40, 145, 255, 0x02), Bgra(30, 100, 250, 0x03)}},

    {"SharpenOnOneRowChangesNothing", "Sharpen", std::nullopt,
     {2, 1, {kA, kB}}, {kA, kB}, {}},

    // 4 x 3: only (1,1) and (2,1) are inside the border. In place (2,1) sees the
    // blurred (1,1); into the buffer it sees the source, and blurred pixels turn opaque.
    {"BlurCarriesAlongTheRowInPlace", "Blur", std::nullopt,
     {4, 3, {Bgra(0, 200, 0, 0x10), Bgra(0, 200, 0, 0x10), Bgra(0, 200, 0, 0x10), Bgra(0, 200, 0, 0x10),
             Bgra(0, 200, 0, 0x10), Bgra(90, 200, 17, 0x10), Bgra(0, 200, 0, 0x10), Bgra(0, 200, 0, 0x10),
             Bgra(0, 200, 0, 0x10), Bgra(0, 200, 0, 0x10), Bgra(0, 200, 0, 0x10), Bgra(0, 200, 0, 0x10)}},
     {Bgra(0, 200, 0, 0x10), Bgra(0, 200, 0, 0x10), Bgra(0, 200, 0, 0x10), Bgra(0, 200, 0, 0x10),
      Bgra(0, 200, 0, 0x10), Bgra(10, 200, 1, 0x10), Bgra(1, 200, 0, 0x10), Bgra(0, 200, 0, 0x10),
      Bgra(0, 200, 0, 0x10), Bgra(0, 200, 0, 0x10), Bgra(0, 200, 0, 0x10), Bgra(0, 200, 0, 0x10)},
     {Bgra(0, 200, 0, 0x10), Bgra(0, 200, 0, 0x10), Bgra(0, 200, 0, 0x10), Bgra(0, 200, 0, 0x10),
      Bgra(0, 200, 0, 0x10), Bgra(10, 200, 1, 0xFF), Bgra(10, 200, 1, 0xFF), Bgra(0, 200, 0, 0x10),
      Bgra(0, 200, 0, 0x10), Bgra(0, 200, 0, 0x10), Bgra(0, 200, 0, 0x10), Bgra(0, 200, 0, 0x10)}},

    {"BlurOnTwoByTwoChangesNothing", "Blur", std::nullopt,
     {2, 2, {kA, kB, kC, kD}}, {kA, kB, kC, kD}, {}},

    {"MirrorDirectionZeroReversesRows", "Mirror", std::nullopt,
     {3, 2, {kA, kB, kC, kD, kE, kF}}, {kC, kB, kA, kF, kE, kD}, {}},

    {"MirrorOtherDirectionExchangesRows", "Mirror", Parameter{"MirrorDirection", 1},
     {2, 3, {kA, kB, kC, kD, kE, kF}}, {kE, kF, kC, kD, kA, kB}, {}},

};

class EffectRule : public ::testing::TestWithParam<RuleCase> {};

TEST_P(EffectRule, InPlace) {
    const RuleCase& c = GetParam();
    const Picture result = RunInPlace(c.effect, c.parameter, c.input);
    EXPECT_EQ(result.pixels, c.inPlace) << Describe(result);
}

// Rotate has no output buffer.
class BufferedEffectRule : public EffectRule {};

TEST_P(BufferedEffectRule, IntoBuffer) {
    const RuleCase& c = GetParam();
    const Picture result = RunToBuffer(c.effect, c.parameter, c.input);
    EXPECT_EQ(result.pixels, c.toBuffer.empty() ? c.inPlace : c.toBuffer) << Describe(result);
}

const auto kLabel = [](const auto& info) { return std::string(info.param.label); };
std::vector<RuleCase> BufferedCases() {
    std::vector<RuleCase> cases;
    for (const RuleCase& c : kRuleCases)
        if (std::string(c.effect) != "Rotate") cases.push_back(c);
    return cases;
}

INSTANTIATE_TEST_SUITE_P(Rules, EffectRule, ::testing::ValuesIn(kRuleCases), kLabel);
INSTANTIATE_TEST_SUITE_P(Rules, BufferedEffectRule,
                         ::testing::ValuesIn(BufferedCases()), kLabel);

// The in-place blur reads neighbours that already hold new values. Checked
// against the rule taken literally, pixel by pixel, on a picture wide enough
// for the vectorised loops.
TEST(BlurRule, InPlaceMatchesScanOrderOnALargerPicture) {
    const Picture input = BusyPicture(37, 11, 4);
    Picture expected = input;
    const int w = input.width;
    auto byteAt = [&](int x, int y, int c) {
        return (expected.pixels[static_cast<std::size_t>(y) * w + x] >> (8 * c)) & 0xFFu;
    };
    for (int y = 1; y + 1 < input.height; ++y)
        for (int x = 1; x + 1 < w; ++x) {
            uint32_t& p = expected.pixels[static_cast<std::size_t>(y) * w + x];
            for (int c = 0; c < 3; ++c) {
                uint32_t sum = 0;
                for (int dy = -1; dy <= 1; ++dy)
                    for (int dx = -1; dx <= 1; ++dx) sum += byteAt(x + dx, y + dy, c);
                p = (p & ~(0xFFu << (8 * c))) | ((sum / 9) << (8 * c));
            }
        }
    EXPECT_EQ(RunInPlace("Blur", std::nullopt, input).pixels, expected.pixels);
}

}  // namespace
}  // namespace pixfilter_test
