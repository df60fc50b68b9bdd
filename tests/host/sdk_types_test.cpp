// Value types of the host SDK: class IDs, version, colours, vectors, matrices
// and the host string.
#include <gtest/gtest.h>

#include <vector>

#include "max.h"

namespace {

TEST(ClassID, PartsEqualityAndOrder) {
    const Class_ID nacrelle(0x53E2B189, 0x7502736B);
    EXPECT_EQ(nacrelle.PartA(), 0x53E2B189u);
    EXPECT_EQ(nacrelle.PartB(), 0x7502736Bu);
    EXPECT_EQ(sizeof(SClass_ID), 4u);
    EXPECT_EQ(sizeof(nacrelle.PartA()), 4u);
    EXPECT_EQ(Class_ID().PartA(), 0xFFFFFFFFu);

    const std::vector<Class_ID> ordered = {Class_ID(0, 5), Class_ID(1, 0), Class_ID(1, 2),
                                           Class_ID(0xFFFFFFFF, 0)};
    for (std::size_t i = 0; i < ordered.size(); ++i) {
        for (std::size_t j = 0; j < ordered.size(); ++j) {
            EXPECT_EQ(ordered[i] < ordered[j], i < j) << i << " vs " << j;
            EXPECT_EQ(ordered[i] == ordered[j], i == j);
            EXPECT_EQ(ordered[i] != ordered[j], i != j);
        }
    }
}

TEST(HostVersion, EncodesReleaseApiAndRevision) {
    EXPECT_EQ(VERSION_3DSMAX, 0x71484600);
    EXPECT_EQ(GET_MAX_RELEASE(VERSION_3DSMAX), 29000);
    EXPECT_EQ(GET_MAX_API_NUM(VERSION_3DSMAX), 70);
    EXPECT_EQ(GET_MAX_SDK_REV(VERSION_3DSMAX), 0);
    const ULONG other = (27000u << 16) + (64u << 8) + 3u;
    EXPECT_EQ(GET_MAX_RELEASE(other), 27000u);
    EXPECT_EQ(GET_MAX_API_NUM(other), 64u);
    EXPECT_EQ(GET_MAX_SDK_REV(other), 3u);
}

TEST(HostConstants, ValuesThePlugInReliesOn) {
    EXPECT_EQ(TEXMAP_CLASS_ID, 0xC10u);
    EXPECT_EQ(PARAMETER_BLOCK2_CLASS_ID, 0x82u);
    EXPECT_EQ(TEXOUTPUT_CLASS_ID, 0xC40u);
    EXPECT_EQ(REFMSG_CHANGE, 0x50u);
    EXPECT_EQ(REFMSG_TARGET_DELETED, 0x20u);
    EXPECT_EQ(PART_ALL, 0x800037FFu);
    EXPECT_EQ(NOTIFY_ALL, 0xFFFFFFF0u);
    EXPECT_EQ(static_cast<int>(REF_SUCCEED), 1);
    EXPECT_EQ(static_cast<int>(IO_OK), 0);
    EXPECT_EQ(static_cast<int>(IO_END), 1);
    EXPECT_EQ(static_cast<int>(IO_ERROR), 2);
    EXPECT_EQ(sizeof(PartID), sizeof(void*));
}

TEST(AColor, DefaultClampAndConversion) {
    const AColor black;
    EXPECT_EQ(black, AColor(0.0f, 0.0f, 0.0f, 1.0f));
    AColor c(-0.5f, 0.25f, 1.5f, 2.0f);
    c.ClampMinMax();
    EXPECT_EQ(c, AColor(0.0f, 0.25f, 1.0f, 1.0f));
    const Color rgb = AColor(0.1f, 0.2f, 0.3f, 0.4f);
    EXPECT_EQ(rgb, Color(0.1f, 0.2f, 0.3f));
    EXPECT_EQ(AColor(rgb).a, 1.0f);
    EXPECT_EQ(AColor(1, 2, 3, 4) * 0.5f, AColor(0.5f, 1.0f, 1.5f, 2.0f));
    EXPECT_EQ(AColor(1, 2, 3, 4) + AColor(1, 1, 1, 1), AColor(2, 3, 4, 5));
    EXPECT_EQ(Color(1, 2, 3) * Color(2, 2, 2), Color(2, 4, 6));
    Color over(2.0f, -1.0f, 0.5f);
    over.ClampMinMax();
    EXPECT_EQ(over, Color(1.0f, 0.0f, 0.5f));
}

TEST(Point3, Arithmetic) {
    const Point3 a(1.0f, 2.0f, 3.0f);
    const Point3 b(4.0f, -5.0f, 6.0f);
    EXPECT_EQ(a % b, 1.0f * 4.0f + 2.0f * -5.0f + 3.0f * 6.0f);
    EXPECT_EQ(a ^ b, Point3(2.0f * 6.0f - 3.0f * -5.0f, 3.0f * 4.0f - 1.0f * 6.0f,
                            1.0f * -5.0f - 2.0f * 4.0f));
    EXPECT_EQ((a ^ b) % a, 0.0f);  // the cross product is orthogonal to its factors
    EXPECT_EQ(a + b, Point3(5.0f, -3.0f, 9.0f));
    EXPECT_EQ(a - b, Point3(-3.0f, 7.0f, -3.0f));
    EXPECT_EQ(-a, Point3(-1.0f, -2.0f, -3.0f));
    EXPECT_EQ(2.0f * a, a * 2.0f);
    EXPECT_EQ(Point3(3.0f, 4.0f, 0.0f).Length(), 5.0f);
    EXPECT_EQ(Point3(0.0f, 0.0f, -2.0f).Normalize(), Point3(0.0f, 0.0f, -1.0f));
    EXPECT_EQ(Point3().Normalize(), Point3());  // no NaN from the zero vector
    EXPECT_NEAR(Normalize(a).Length(), 1.0f, 1e-6f);
}

TEST(Matrix3, IdentityAndComposition) {
    Matrix3 m(0);
    EXPECT_FALSE(m.IsIdentity());
    m.IdentityMatrix();
    EXPECT_TRUE(m.IsIdentity());
    EXPECT_EQ(Point3(1.0f, 2.0f, 3.0f) * m, Point3(1.0f, 2.0f, 3.0f));

    Matrix3 move;
    move.SetTrans(Point3(10.0f, 0.0f, 0.0f));
    Matrix3 scale;
    scale.Scale(Point3(2.0f, 2.0f, 2.0f));
    const Point3 p(1.0f, 1.0f, 1.0f);
    // p * (move * scale) applies move first, then scale.
    EXPECT_EQ(p * (move * scale), (p * move) * scale);
    EXPECT_EQ(p * (move * scale), Point3(22.0f, 2.0f, 2.0f));
    EXPECT_EQ(VectorTransform(move, p), p);  // directions ignore translation
}

TEST(WStr, ComparisonAndLength) {
    const MSTR a(L"Nacrelle");
    EXPECT_EQ(a.Length(), 8);
    EXPECT_EQ(a, L"Nacrelle");
    EXPECT_NE(a, L"nacrelle");
    EXPECT_TRUE(MSTR(L"a") < MSTR(L"b"));
    EXPECT_TRUE(MSTR(static_cast<const wchar_t*>(nullptr)).isNull());
    MSTR joined = a;
    joined += L" map";
    EXPECT_EQ(joined, L"Nacrelle map");
    EXPECT_EQ(std::wstring(joined.data()), L"Nacrelle map");
}

TEST(WStr, Utf8RoundTrip) {
    struct Case {
        const char* utf8;
        std::wstring wide;
    };
    const Case cases[] = {
        {"", L""},
        {"thicknessmax", L"thicknessmax"},
        {"caf\xC3\xA9", L"caf\u00E9"},
        {"\xE2\x82\xAC 5", L"\u20AC 5"},
        {"\xF0\x9F\x8C\x88", L"\U0001F308"},  // outside the BMP
    };
    for (const Case& c : cases) {
        EXPECT_EQ(std::wstring(WStr::FromUTF8(c.utf8).data()), c.wide) << c.utf8;
        EXPECT_EQ(WStr(c.wide.c_str()).ToUTF8(), c.utf8);
    }
}

TEST(WStr, InvalidUtf8BecomesReplacementCharacters) {
    struct Case {
        const char* utf8;
        std::wstring wide;
    };
    const Case cases[] = {
        {"a\xFF"
         "b",
         L"a\uFFFDb"},                // not a lead byte
        {"\xC3", L"\uFFFD"},          // cut before its continuation
        {"\xE2\x82", L"\uFFFD"},      // cut in the middle
        {"\xC0\xAF", L"\uFFFD"},      // overlong encoding of '/'
        {"\xED\xA0\x80", L"\uFFFD"},  // an encoded surrogate
        {"\xE2\x82"
         "A",
         L"\uFFFDA"},  // the next character survives
    };
    for (const Case& c : cases) {
        EXPECT_EQ(std::wstring(WStr::FromUTF8(c.utf8).data()), c.wide);
    }
    EXPECT_TRUE(WStr::FromUTF8(static_cast<const char*>(nullptr)).isNull());
}

}  // namespace
