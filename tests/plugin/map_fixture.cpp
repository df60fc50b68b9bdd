#include "tests/plugin/map_fixture.h"

#include <sdk/class_directory.h>

namespace nacrelle::testing {

void MapTest::SetUp() {
    ModuleTest::SetUp();
    scene = std::make_unique<standin::Scene>();
    map = &NewMap();
}

void MapTest::TearDown() {
    // The maps' code lives in the module: free them before it goes.
    scene.reset();
    ModuleTest::TearDown();
}

Texmap& MapTest::NewMap(BOOL loading) {
    auto* created = static_cast<Texmap*>(standin::CreateInstance(Descriptor(), loading));
    EXPECT_NE(created, nullptr);
    scene->Add(created);
    return *created;
}

StdTexoutGen& MapTest::Output(Texmap& m) const {
    return *static_cast<StdTexoutGen*>(m.GetReference(2));
}

CountingMonoMap& MapTest::PlugCountingMap(Texmap& m, float mono) {
    auto* sub = new CountingMonoMap(mono);
    m.SetSubTexmap(0, sub);
    return *sub;
}

nacrelle::Colour MapTest::CoreColour(Texmap& m, float cosine, float mapValue, TimeValue t) {
    IParamBlock2& pb = Block(m);
    const FilmStack stack{pb.GetFloat(2, t), pb.GetFloat(3, t), pb.GetFloat(4, t),
                          pb.GetFloat(0, t), pb.GetFloat(1, t)};
    const ColourAdjust adjust{pb.GetFloat(8, t), pb.GetFloat(9, t), pb.GetFloat(7, 0)};
    return filmColour(cosine, mapValue, stack, adjust);
}

}  // namespace nacrelle::testing
