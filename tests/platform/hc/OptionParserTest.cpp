// The option-string parser and the attribute texts built on it.
#include "platform/hc/AttributeText.h"
#include "platform/hc/OptionParser.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace ketra::hc;

namespace {

std::vector<OptionItem> Parse(std::string_view text) {
    std::vector<OptionItem> items;
    std::string err;
    EXPECT_TRUE(ParseOptionList(text, items, &err)) << text << ": " << err;
    return items;
}

void ExpectRgb(const ChannelColor& c, float r, float g, float b) {
    ASSERT_TRUE(c.diffuse.has_value());
    EXPECT_NEAR(c.diffuse->rgb.r, r, 1e-5);
    EXPECT_NEAR(c.diffuse->rgb.g, g, 1e-5);
    EXPECT_NEAR(c.diffuse->rgb.b, b, 1e-5);
}

TEST(OptionParser, NestedListsKeepTheirValueAndSplitOnlyAtTopLevel) {
    auto items = Parse("lights = (faces = on, edges = off, markers = off), markers = off, faces=on");
    ASSERT_EQ(items.size(), 3u);
    EXPECT_EQ(items[0].name, "lights");
    EXPECT_EQ(items[0].value, "(faces = on, edges = off, markers = off)");
    EXPECT_EQ(items[1].name, "markers");
    EXPECT_EQ(items[1].value, "off");
    EXPECT_EQ(items[2].value, "on");

    items = Parse("mask transform = (camera = (rotate, perspective), modelling matrix = (rotate, scale))");
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0].name, "mask transform");
    std::string_view inner;
    ASSERT_TRUE(StripParentheses(items[0].value, inner));
    std::vector<OptionItem> sub;
    ASSERT_TRUE(ParseOptionList(inner, sub));
    ASSERT_EQ(sub.size(), 2u);
    EXPECT_EQ(sub[0].name, "camera");
    EXPECT_EQ(sub[0].value, "(rotate, perspective)");
    EXPECT_EQ(sub[1].name, "modelling matrix");
}

TEST(OptionParser, NamesAreNormalisedNegationsAndLocksRecognised) {
    auto items = Parse("  No   Related  Selection Limit ,NO SELECTION SORTING, markers = on!, lines = off,");
    ASSERT_EQ(items.size(), 4u);  // the trailing comma adds nothing
    EXPECT_EQ(items[0].name, "related selection limit");
    EXPECT_TRUE(items[0].negated);
    EXPECT_EQ(items[1].name, "selection sorting");
    EXPECT_TRUE(items[1].negated);
    EXPECT_EQ(items[2].value, "on");
    EXPECT_TRUE(items[2].forced);
    EXPECT_FALSE(items[3].forced);
    // A lock mark alone is no option.
    std::vector<OptionItem> none;
    std::string error;
    EXPECT_FALSE(ParseOptionList("!", none, &error));
    EXPECT_EQ(error, "option without a name in '!'");
    EXPECT_FALSE(ParseOptionList("lines, ! ", none, &error));
    EXPECT_FALSE(ParseOptionList("no !", none, &error));
    EXPECT_TRUE(none.empty());
    // The value keeps its case and its inner '='.
    items = Parse("diffuse=r=0.650980 g=0.792157 b=0.941176");
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0].value, "r=0.650980 g=0.792157 b=0.941176");
}

TEST(OptionParser, RejectsMalformedInputAtEveryTruncation) {
    const std::string valid = "faces=(diffuse=r=0.5 g=0.5 b=0.5,specular=white),lines=red";
    std::vector<OptionItem> items;
    // Every prefix either parses or is rejected with a reason; none crashes, and
    // those that cut a parenthesised group are rejected.
    for (size_t n = 0; n <= valid.size(); ++n) {
        std::string err;
        const std::string prefix = valid.substr(0, n);
        const bool ok = ParseOptionList(prefix, items, &err);
        const bool open = prefix.find('(') != std::string::npos && prefix.find(')') == std::string::npos;
        if (open) {
            EXPECT_FALSE(ok) << prefix;
        }
        if (!ok) {
            EXPECT_FALSE(err.empty()) << prefix;
        }
    }
    for (const char* bad : {"(", ")", "a=(b", "a = ", "= on", "'unterminated", "no", "a(b)=c", "x=(1))"}) {
        std::string err;
        EXPECT_FALSE(ParseOptionList(bad, items, &err)) << bad;
        EXPECT_TRUE(items.empty());
    }
}

TEST(ColorText, ParsesTheSpecFormsOfAColour) {
    ColorAttribute c;
    std::string err;
    ASSERT_TRUE(ParseColorSpec("faces=(diffuse=r=0.650980 g=0.792157 b=0.941176,specular=white,"
                               "transmission=black),lines=r=1 g=0 b=0,edges=(R=0 G=0 B=1)",
                               c, &err))
        << err;
    ExpectRgb(c[ColorChannel::Faces], 0.650980f, 0.792157f, 0.941176f);
    ASSERT_TRUE(c[ColorChannel::Faces].specular.has_value());
    EXPECT_EQ(*c[ColorChannel::Faces].specular, (Rgb{1, 1, 1}));
    EXPECT_EQ(*c[ColorChannel::Faces].transmission, (Rgb{0, 0, 0}));
    ExpectRgb(c[ColorChannel::Lines], 1, 0, 0);
    ExpectRgb(c[ColorChannel::Edges], 0, 0, 1);
    EXPECT_TRUE(c[ColorChannel::Markers].Empty());

    ColorAttribute m;
    ASSERT_TRUE(ParseColorSpec("markers=(R=0.5 G=0.25 B=1)", m, &err)) << err;
    ExpectRgb(m[ColorChannel::Markers], 0.5f, 0.25f, 1);
    // A bare colour colours every geometry channel but not the window.
    ColorAttribute b;
    ASSERT_TRUE(ParseColorSpec("bright white", b, &err)) << err;
    ExpectRgb(b[ColorChannel::Faces], 1, 1, 1);
    ExpectRgb(b[ColorChannel::Text], 1, 1, 1);
    EXPECT_TRUE(b[ColorChannel::Windows].Empty());
    // Channel names without a value share the next value.
    ColorAttribute s;
    ASSERT_TRUE(ParseColorSpec("edges, lines = green, window contrast = gray", s, &err)) << err;
    ExpectRgb(s[ColorChannel::Edges], 0, 1, 0);
    ExpectRgb(s[ColorChannel::Lines], 0, 1, 0);
    ExpectRgb(s[ColorChannel::WindowContrast], 0.5f, 0.5f, 0.5f);
}

TEST(ColorText, ModifiersAndBadColours) {
    Rgb rgb;
    ASSERT_TRUE(ParseRgb("dark red", rgb));
    EXPECT_NEAR(rgb.r, 0.5f, 1e-6);
    ASSERT_TRUE(ParseRgb("light gray", rgb));
    EXPECT_NEAR(rgb.g, 0.75f, 1e-6);
    ASSERT_TRUE(ParseRgb("R=0 G=1 B=0.5", rgb));
    EXPECT_EQ(rgb, (Rgb{0, 1, 0.5f}));
    std::string err;
    for (const char* bad : {"", "reddish", "r=2 g=0 b=0", "r=0 g=0", "r=x g=0 b=0", "r=0 r=0 b=0 g=0",
                            "very", "bright"}) {
        EXPECT_FALSE(ParseRgb(bad, rgb, &err)) << bad;
    }
    ColorAttribute c;
    EXPECT_FALSE(ParseColorSpec("faces=", c, &err));
    EXPECT_FALSE(ParseColorSpec("walls=red", c, &err));
    EXPECT_FALSE(ParseColorSpec("faces=(diffuse=red,gloss=lots)", c, &err));
    EXPECT_FALSE(ParseColorSpec("edges", c, &err));  // a channel with no colour
    EXPECT_TRUE(c.Empty());
}

TEST(ColorText, FormattedColourParsesBackToTheSameValue) {
    ColorAttribute c;
    ASSERT_TRUE(ParseColorSpec("faces=(diffuse=r=0.25 g=0.5 b=0.75,specular=white,gloss=12),lines=red", c, nullptr));
    ColorAttribute back;
    std::string err;
    ASSERT_TRUE(ParseColorSpec(FormatColor(c), back, &err)) << FormatColor(c) << ": " << err;
    for (size_t i = 0; i < kColorChannelCount; ++i) EXPECT_EQ(c.channels[i], back.channels[i]) << i;
}

TEST(VisibilityText, NestedLightsOffAndLocks) {
    Visibility v;
    ASSERT_TRUE(ParseVisibility("lights = (faces = on, edges = off, markers = off), markers = off, faces=on", v));
    EXPECT_EQ(v.mask, kLightsFaces | kLightsEdges | kLightsMarkers | kMarkers | kFaces);
    EXPECT_EQ(v.on, kLightsFaces | kFaces);
    Visibility all;
    ASSERT_TRUE(ParseVisibility("off, cutting planes=on, faces=on, lines=on, edge=on, text=on", all));
    EXPECT_EQ(all.mask, kAllTypes);
    EXPECT_EQ(all.on, kCuttingPlanes | kFaces | kLines | kEdges | kText);
    Visibility round;
    ASSERT_TRUE(ParseVisibility(FormatVisibility(v), round)) << FormatVisibility(v);
    EXPECT_EQ(round, v);

    Selectability s;
    ASSERT_TRUE(ParseSelectability("markers = on!, lines = off", s));
    EXPECT_EQ(s.mask, kMarkers | kLines);
    EXPECT_EQ(s.on, kMarkers);
    EXPECT_EQ(s.forced, kMarkers);
    EXPECT_EQ(FormatSelectability(s), "lines=off,markers=on!");

    Visibility bad;
    EXPECT_FALSE(ParseVisibility("faces = maybe", bad));
    EXPECT_FALSE(ParseVisibility("walls = on", bad));
    EXPECT_FALSE(ParseVisibility("lights = (doors = on)", bad));
    EXPECT_TRUE(bad.Empty());
}

TEST(OptionMapText, FlagsValuesAndMerging) {
    OptionMap m;
    ASSERT_TRUE(ParseOptionMap("no lighting, depth range=(0.0,0.1), LOD", m));
    EXPECT_EQ(*m.Find("lighting"), "off");
    EXPECT_EQ(*m.Find("Depth Range"), "(0.0,0.1)");
    EXPECT_TRUE(m.IsOn("lod"));
    EXPECT_FALSE(m.IsOn("lighting"));
    EXPECT_EQ(m.ToString(), "no lighting,depth range=(0.0,0.1),lod");
    OptionMap nearer;
    ASSERT_TRUE(ParseOptionMap("lighting", nearer));
    m.MergeFrom(nearer);
    EXPECT_TRUE(m.IsOn("lighting"));
    EXPECT_TRUE(m.Erase("LOD"));
    EXPECT_FALSE(m.Has("lod"));
}

// Names are normalised once when stored; lookups in any spelling must still find them, and
// replacing or erasing one entry must keep the rest findable under their own names.
TEST(OptionMapText, LookupsInAnySpellingAfterSetsAndErasures) {
    OptionMap m;
    m.Set("  Hidden   Surface\tRemoval Algorithm ", "hiddenline");
    m.Set("backplane cull", "on");
    m.Set("Face Displacement", "4");
    EXPECT_EQ(m.Entries()[0].first, "Hidden Surface Removal Algorithm");  // shown as given
    for (const char* query : {"hidden surface removal algorithm", "HIDDEN SURFACE REMOVAL ALGORITHM",
                              " hidden  surface removal\talgorithm"}) {
        ASSERT_NE(m.Find(query), nullptr) << query;
        EXPECT_EQ(*m.Find(query), "hiddenline") << query;
    }
    EXPECT_EQ(m.Find("hidden surface"), nullptr);
    EXPECT_EQ(m.Find("hidden surface removal algorithm x"), nullptr);
    m.Set("BACKPLANE   CULL", "off");  // replaces, keeps the first spelling
    EXPECT_EQ(m.Size(), 3u);
    EXPECT_EQ(m.Entries()[1].first, "backplane cull");
    EXPECT_FALSE(m.IsOn("backplane cull"));
    EXPECT_TRUE(m.Erase("hidden surface removal ALGORITHM"));
    EXPECT_FALSE(m.Has("hidden surface removal algorithm"));
    EXPECT_EQ(*m.Find("face displacement"), "4");
    EXPECT_EQ(*m.Find("Backplane Cull"), "off");
    EXPECT_FALSE(m.Erase("hidden surface removal algorithm"));
    m.Clear();
    EXPECT_FALSE(m.Has("face displacement"));
    m.Set("face displacement", "2");
    EXPECT_EQ(*m.Find("FACE displacement"), "2");
}

TEST(Numbers, WholeStringsAndUnits) {
    double v = 0;
    std::string unit;
    EXPECT_TRUE(ParseNumber(" .5 ", v));
    EXPECT_EQ(v, 0.5);
    EXPECT_FALSE(ParseNumber("1.5x", v));
    EXPECT_FALSE(ParseNumber("nan", v));
    EXPECT_FALSE(ParseNumber("inf", v));
    EXPECT_TRUE(ParseNumberWithUnit("8.0 pts", v, unit));
    EXPECT_EQ(v, 8.0);
    EXPECT_EQ(unit, "pts");
    EXPECT_TRUE(ParseNumberWithUnit("1e3 pixels", v, unit));
    EXPECT_EQ(v, 1000.0);
}

}  // namespace
