// Scene files: a graph of objects round-trips with its sharing, parameter
// blocks come back with values, keys and owner, and every kind of damage ends
// loading with the file's name and the offset, freeing all it built.
#include "scene/scene_file.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <set>

#include "scene_test_classes.h"
#include "sdk_test_classes.h"
#include "sdk/animation.h"
#include "sdk/chunk_io.h"
#include "params/param_access.h"
#include "sdk/remap_dir.h"

namespace {

using scenetest::ConstMap;
using scenetest::Node;
using standin::Scene;
using standin::SceneFileError;

constexpr USHORT kObjects = 0x1000;
constexpr USHORT kObject = 0x1001;
constexpr USHORT kClass = 0x1010;
constexpr USHORT kReferences = 0x1011;
constexpr USHORT kBlock = 0x1012;
constexpr USHORT kData = 0x1013;
constexpr USHORT kRoots = 0x1100;

const Class_ID kOwnerClassId(0x5CE7E003, 0x00000003);

void PutU32(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

std::uint32_t GetU32(const std::vector<std::uint8_t>& bytes, std::size_t at) {
    std::uint32_t value = 0;
    for (int i = 0; i < 4; ++i) value |= std::uint32_t(bytes[at + i]) << (8 * i);
    return value;
}

/// Header offset of the chunk reached by `path`: at each level the n-th
/// chunk with the given ID (n counts from 0).
std::size_t ChunkAt(const std::vector<std::uint8_t>& bytes,
                    std::initializer_list<std::pair<USHORT, int>> path) {
    standin::ChunkReader reader(std::span<const std::uint8_t>(bytes).subspan(12), 12);
    std::size_t offset = 0;
    for (const auto& [id, nth] : path) {
        int seen = -1;
        for (;;) {
            if (reader.OpenChunk() != IO_OK) {
                ADD_FAILURE() << "no chunk " << id << " #" << nth;
                return 0;
            }
            if (reader.CurChunkID() == id && ++seen == nth) break;
            reader.CloseChunk();
        }
        offset = reader.Offset() - 6;
    }
    return offset;
}

/// Index of the node object whose label is `label`.
int NodeIndex(const std::vector<std::uint8_t>& bytes, const std::wstring& label) {
    for (int k = 0;; ++k) {
        const std::size_t classChunk = ChunkAt(bytes, {{kObjects, 0}, {kObject, k}, {kClass, 0}});
        if (classChunk == 0) return -1;
        if (GetU32(bytes, classChunk + 6) != scenetest::kNodeSuperClass) continue;
        const std::size_t data = ChunkAt(bytes, {{kObjects, 0}, {kObject, k}, {kData, 0}});
        const std::uint32_t size = GetU32(bytes, data + 2) & 0x7fffffffu;
        standin::ChunkReader reader(
            std::span<const std::uint8_t>(bytes).subspan(data + 6, size - 6), data + 6);
        while (reader.OpenChunk() == IO_OK) {
            MCHAR* text = nullptr;
            if (reader.CurChunkID() == scenetest::kLabelChunk &&
                reader.ReadWStringChunk(text) == IO_OK && label == text) {
                return k;
            }
            reader.CloseChunk();
        }
    }
}

Node* AsNode(ReferenceTarget* target) { return dynamic_cast<Node*>(target); }

const Class_ID kLoadOrderClassId(0x5CE7E004, 0x00000004);

/// Looks at its first reference from Load and from two post-load callbacks:
/// one at the default priority, registered first, and one at priority 0.
class LoadOrderNode : public Node {
public:
    Class_ID ClassID() override { return kLoadOrderClassId; }
    IOResult Load(ILoad* iload) override {
        seenByLoad = GetReference(0);
        iload->RegisterPostLoadCallback(&atDefault_);
        iload->RegisterPostLoadCallback(&first_);
        return Node::Load(iload);
    }

    RefTargetHandle seenByLoad = nullptr;
    std::vector<std::pair<int, RefTargetHandle>> seenByCallbacks;  // priority, reference

private:
    struct Look final : PostLoadCallback {
        Look(LoadOrderNode& node, int priority) : node_(node), priority_(priority) {}
        void proc(ILoad*) override {
            node_.seenByCallbacks.emplace_back(Priority(), node_.GetReference(0));
        }
        int Priority() override { return priority_ < 0 ? PostLoadCallback::Priority() : priority_; }
        LoadOrderNode& node_;
        int priority_;
    };
    Look atDefault_{*this, -1};
    Look first_{*this, 0};
};

class SceneFileTest : public testing::Test {
protected:
    SceneFileTest()
        : nodeDesc_(L"SceneNode", scenetest::kNodeSuperClass, scenetest::kNodeClassId),
          mapDesc_(L"SceneMap", TEXMAP_CLASS_ID, scenetest::kMapClassId),
          ownerDesc_(L"SceneOwner", kOwnerClassId),
          blockDesc_(sdktest::MakeTestBlockDesc(&ownerDesc_)) {
        standin::ClassDirectory::Instance().Register(&ownerDesc_, "scene tests");
    }

    void SetUp() override {
        scenetest::liveNodes = 0;
        ConstMap::live = 0;
        sdktest::ResetCounters();
    }

    void TearDown() override {
        current_.reset();
        EXPECT_EQ(scenetest::liveNodes, 0);
        EXPECT_EQ(ConstMap::live.load(), 0);
        EXPECT_EQ(ownerDesc_.creates, sdktest::ownersReleased);
    }

    static Node* MakeNode(std::int32_t value, const wchar_t* label) {
        auto* node = new Node;
        node->value = value;
        node->label = label;
        return node;
    }

    // A -> (B, C), B -> (D, E), C -> (D, -): D is shared. The owner holds its
    // block (with a key and a map of its own), a map and a node.
    void BuildSample(Scene& scene) {
        Node* a = MakeNode(1, L"A");
        Node* b = MakeNode(2, L"B");
        Node* c = MakeNode(3, L"C");
        Node* d = MakeNode(4, L"D");
        Node* e = MakeNode(5, L"");
        b->ReplaceReference(0, d);
        b->ReplaceReference(1, e);
        c->ReplaceReference(0, d);
        a->ReplaceReference(0, b);
        a->ReplaceReference(1, c);
        ASSERT_TRUE(scene.Add(a));

        auto* owner = static_cast<sdktest::Owner*>(standin::CreateInstance(&ownerDesc_));
        ASSERT_NE(owner, nullptr);
        IParamBlock2* block = owner->Block();
        ASSERT_NE(block, nullptr);
        block->SetValue(sdktest::kIndex, 0, 2.25f);
        block->SetValue(sdktest::kCount, 0, 7);
        block->SetValue(sdktest::kEnabled, 0, TRUE);
        {
            standin::AnimateScope animate;
            block->SetValue(sdktest::kThickness, 4800, 900.0f);
        }
        block->SetValue(sdktest::kMap, 0, static_cast<ReferenceTarget*>(new ConstMap));
        block->SetValue(sdktest::kOutput, 0, MakeNode(6, L"O"));
        block->SetValue(sdktest::kLocalMap, 0, static_cast<ReferenceTarget*>(new ConstMap));
        ASSERT_TRUE(scene.Add(owner));
    }

    std::vector<std::uint8_t> SampleBytes() {
        Scene scene;
        BuildSample(scene);
        return standin::WriteSceneBytes(scene, "sample.ncs");
    }

    scenetest::RegisteredDesc<Node> nodeDesc_;
    scenetest::RegisteredDesc<ConstMap> mapDesc_;
    sdktest::TestClassDesc ownerDesc_;
    std::unique_ptr<ParamBlockDesc2> blockDesc_;
    std::unique_ptr<Scene> current_;
};

TEST_F(SceneFileTest, GraphRoundTripsWithItsSharing) {
    const std::vector<std::uint8_t> bytes = SampleBytes();
    EXPECT_EQ(std::memcmp(bytes.data(), "NACSCENE", 8), 0);

    std::unique_ptr<Scene> scene = standin::ReadSceneBytes(bytes, "sample.ncs");
    ASSERT_EQ(scene->Count(), 2);
    Node* a = AsNode(scene->Roots()[0]);
    ASSERT_NE(a, nullptr);
    Node* b = AsNode(a->GetReference(0));
    Node* c = AsNode(a->GetReference(1));
    ASSERT_TRUE(b && c);
    EXPECT_EQ(a->value, 1);
    EXPECT_EQ(a->label, L"A");
    EXPECT_EQ(b->label, L"B");
    EXPECT_EQ(c->value, 3);
    Node* d = AsNode(b->GetReference(0));
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->label, L"D");
    EXPECT_EQ(c->GetReference(0), d);  // one object, referenced twice
    EXPECT_EQ(c->GetReference(1), nullptr);
    ASSERT_NE(AsNode(b->GetReference(1)), nullptr);
    EXPECT_EQ(AsNode(b->GetReference(1))->label, L"");
    EXPECT_EQ(scenetest::liveNodes, 6);

    // Saving the loaded scene again gives the same bytes.
    EXPECT_EQ(standin::WriteSceneBytes(*scene, "again.ncs"), bytes);
}

TEST_F(SceneFileTest, BlockComesBackWithValuesKeysReferencesAndOwner) {
    std::unique_ptr<Scene> scene = standin::ReadSceneBytes(SampleBytes(), "sample.ncs");
    ASSERT_EQ(scene->Count(), 2);
    auto* owner = static_cast<sdktest::Owner*>(scene->Roots()[1]);
    ASSERT_EQ(owner->ClassID(), kOwnerClassId);
    IParamBlock2* block = owner->Block();
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(block->GetOwner(), owner);
    EXPECT_EQ(block->GetFloat(sdktest::kIndex), 2.25f);
    EXPECT_EQ(block->GetInt(sdktest::kCount), 7);
    EXPECT_EQ(block->GetInt(sdktest::kEnabled), TRUE);
    const std::vector<standin::ParamKey> keys = standin::ParamKeys(*block, sdktest::kThickness);
    ASSERT_EQ(keys.size(), 2u);
    EXPECT_EQ(keys[0].time, 0);
    EXPECT_EQ(keys[0].value, 250.0f);
    EXPECT_EQ(keys[1].time, 4800);
    EXPECT_EQ(keys[1].value, 900.0f);
    EXPECT_EQ(block->GetFloat(sdktest::kThickness, 2400), 575.0f);

    // Owner references read through the block, and the block's own map.
    ReferenceTarget* map = block->GetReferenceTarget(sdktest::kMap);
    ASSERT_NE(map, nullptr);
    EXPECT_EQ(map, owner->GetReference(1));
    EXPECT_EQ(map->ClassID(), scenetest::kMapClassId);
    Node* output = AsNode(block->GetReferenceTarget(sdktest::kOutput));
    ASSERT_NE(output, nullptr);
    EXPECT_EQ(output->label, L"O");
    ASSERT_NE(block->GetReferenceTarget(sdktest::kLocalMap), nullptr);
    EXPECT_NE(block->GetReferenceTarget(sdktest::kLocalMap), map);

    // Setting a value still reaches the loaded owner.
    owner->heard.clear();
    block->SetValue(sdktest::kIndex, 0, 3.0f);
    ASSERT_FALSE(owner->heard.empty());
    EXPECT_EQ(owner->heard.back().lastParam, sdktest::kIndex);
}

TEST_F(SceneFileTest, FilesRoundTripOnDisk) {
    const auto path = std::filesystem::temp_directory_path() /
                      ("scene_file_test_" + std::to_string(::getpid()) + ".ncs");
    {
        Scene scene;
        BuildSample(scene);
        standin::SaveSceneFile(scene, path);
    }
    std::unique_ptr<Scene> scene = standin::LoadSceneFile(path);
    EXPECT_EQ(scene->Count(), 2);
    std::filesystem::remove(path);

    try {
        standin::LoadSceneFile(path);
        FAIL() << "a missing file loaded";
    } catch (const SceneFileError& e) {
        EXPECT_EQ(e.File(), path.string());
        EXPECT_NE(std::string(e.what()).find("cannot open"), std::string::npos) << e.what();
    }
}

TEST_F(SceneFileTest, FailedSaveLeavesThePreviousFile) {
    const auto path = std::filesystem::temp_directory_path() /
                      ("scene_file_save_test_" + std::to_string(::getpid()) + ".ncs");
    Scene scene;
    BuildSample(scene);
    standin::SaveSceneFile(scene, path);
    const std::vector<std::uint8_t> before = standin::WriteSceneBytes(scene, "x");

    AsNode(scene.Roots()[0])->value = 99;
    const standin::ByteSinkOpener full =
        [](const std::filesystem::path& p,
           std::string& error) -> std::unique_ptr<standin::ByteSink> {
        struct Full final : standin::ByteSink {
            bool Write(std::span<const std::uint8_t>, std::string& why) override {
                why = "No space left on device";
                return false;
            }
            bool Commit(std::string&) override { return true; }
        };
        if (!standin::OpenFileSink(p, error)) return nullptr;
        return std::make_unique<Full>();
    };
    try {
        standin::SaveSceneFile(scene, path, full);
        FAIL() << "the save reported success";
    } catch (const SceneFileError& e) {
        EXPECT_NE(std::string(e.what()).find("No space left on device"), std::string::npos);
    }
    std::vector<std::uint8_t> after;
    {
        // Closed before the removal: Windows removes no open file.
        std::ifstream in(path, std::ios::binary);
        after.assign(std::istreambuf_iterator<char>(in), {});
    }
    EXPECT_EQ(after, before);
    std::filesystem::remove(path);
}

TEST_F(SceneFileTest, AnObjectThatCannotSaveFailsTheSave) {
    class Unsaveable : public Node {
    public:
        IOResult Save(ISave* isave) override {
            isave->BeginChunk(1);  // left open on purpose
            return IO_OK;
        }
    };
    Scene scene;
    scene.Add(new Unsaveable);
    try {
        standin::WriteSceneBytes(scene, "out.ncs");
        FAIL() << "an unbalanced Save was written";
    } catch (const SceneFileError& e) {
        EXPECT_EQ(e.File(), "out.ncs");
        EXPECT_NE(std::string(e.what()).find("object #0 (class Node)"), std::string::npos);
        EXPECT_NE(std::string(e.what()).find("left 1 chunks open"), std::string::npos) << e.what();
    }
}

struct Damage {
    const char* name;
    // Damages a sample file; returns the offset the error must name.
    std::function<std::size_t(std::vector<std::uint8_t>&)> apply;
    const char* problem;
};

TEST_F(SceneFileTest, DamagedFilesFailWithFileAndOffsetAndLeaveTheSceneAlone) {
    current_ = std::make_unique<Scene>();
    BuildSample(*current_);
    const std::vector<ReferenceTarget*> roots = current_->Roots();
    const int liveNodes = scenetest::liveNodes;
    const int liveMaps = ConstMap::live.load();
    const std::vector<std::uint8_t> sample = standin::WriteSceneBytes(*current_, "sample.ncs");

    const auto objectChunk = [](const std::vector<std::uint8_t>& b, int k, USHORT id) {
        return ChunkAt(b, {{kObjects, 0}, {kObject, k}, {id, 0}});
    };
    const auto ownerIndex = [&](const std::vector<std::uint8_t>& b) {
        for (int k = 0;; ++k) {
            if (GetU32(b, objectChunk(b, k, kClass) + 10) == kOwnerClassId.PartA()) return k;
        }
    };
    const auto blockIndex = [&](const std::vector<std::uint8_t>& b) {
        for (int k = 0;; ++k) {
            if (GetU32(b, objectChunk(b, k, kClass) + 6) == PARAMETER_BLOCK2_CLASS_ID) return k;
        }
    };
    const auto reference = [&](const std::vector<std::uint8_t>& b, int k, int slot) {
        return objectChunk(b, k, kReferences) + 6 + 4 + 4 * static_cast<std::size_t>(slot);
    };

    const Damage cases[] = {
        {"empty file",
         [](auto& b) {
             b.clear();
             return std::size_t{0};
         },
         "file cut short"},
        {"header cut short",
         [](auto& b) {
             b.resize(10);
             return std::size_t{10};
         },
         "file cut short"},
        {"wrong magic",
         [](auto& b) {
             b[3] = 'X';
             return std::size_t{0};
         },
         "wrong magic number"},
        {"unsupported version",
         [](auto& b) {
             b[8] = 2;
             return std::size_t{8};
         },
         "format version 2 is not supported"},
        {"file cut short",
         [](auto& b) {
             const std::size_t roots = ChunkAt(b, {{kRoots, 0}});
             b.resize(b.size() - 3);
             return roots;
         },
         "longer than the data"},
        {"roots chunk missing",
         [](auto& b) {
             b.resize(ChunkAt(b, {{kRoots, 0}}));
             return b.size();
         },
         "no roots chunk"},
        {"chunk longer than its parent",
         [&](auto& b) {
             const std::size_t at = objectChunk(b, 0, kClass);
             PutU32(b, at + 2, 200);
             return at;
         },
         "longer than its parent chunk 0x1001"},
        {"unknown class ID",
         [&](auto& b) {
             const std::size_t at = objectChunk(b, 0, kClass) + 6;
             PutU32(b, at + 4, 0xBADC1A55);
             return at;
         },
         "unknown class"},
        {"reference index out of range",
         [&](auto& b) {
             const std::size_t at = reference(b, 0, 0);
             PutU32(b, at, 99);
             return at;
         },
         "names object #99"},
        {"object neither root nor referenced",
         [&](auto& b) {
             const int c = NodeIndex(b, L"C");
             PutU32(b, reference(b, NodeIndex(b, L"A"), 1), 0xFFFFFFFFu);
             return ChunkAt(b, {{kObjects, 0}, {kObject, c}});
         },
         "neither a root nor referenced"},
        {"root listed twice",
         [](auto& b) {
             const std::size_t at = ChunkAt(b, {{kRoots, 0}}) + 6 + 4;
             PutU32(b, at + 4, GetU32(b, at));
             return at + 4;
         },
         "listed as a root twice"},
        {"block owned by an object that does not hold it",
         [&](auto& b) {
             const std::size_t at = objectChunk(b, blockIndex(b), kBlock) + 6 + 14;
             PutU32(b, at, static_cast<std::uint32_t>(NodeIndex(b, L"A")));
             return at;
         },
         "does not reference it"},
        {"block the class does not define",
         [&](auto& b) {
             const std::size_t at = objectChunk(b, blockIndex(b), kBlock) + 6;
             b[at + 12] = 7;
             return at + 12;
         },
         "defines no such block"},
        {"reference of the wrong kind",
         [&](auto& b) {
             const int owner = ownerIndex(b);
             const std::uint32_t map = GetU32(b, reference(b, owner, 1));
             PutU32(b, reference(b, owner, 1), GetU32(b, reference(b, owner, 2)));
             PutU32(b, reference(b, owner, 2), map);
             return reference(b, owner, 1);
         },
         "reference 1 needs an object of super class 0xC10"},
        {"data read past the end of its chunk",
         [&](auto& b) {
             // The empty label's 2-byte chunk, retitled as the 4-byte value.
             const int e = NodeIndex(b, L"");
             const std::size_t data = objectChunk(b, e, kData) + 6;
             standin::ChunkReader reader(std::span<const std::uint8_t>(b).subspan(data), data);
             while (reader.OpenChunk() == IO_OK && reader.CurChunkID() != scenetest::kLabelChunk) {
                 reader.CloseChunk();
             }
             const std::size_t label = reader.Offset() - 6;
             b[label] = scenetest::kValueChunk & 0xff;
             b[label + 1] = scenetest::kValueChunk >> 8;
             return label + 6;
         },
         "runs past the end of chunk 0x0100"},
    };
    for (const Damage& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::uint8_t> bytes = sample;
        const std::size_t offset = c.apply(bytes);
        try {
            standin::ReadSceneBytes(bytes, "damaged.ncs");
            ADD_FAILURE() << "the damaged file loaded";
        } catch (const SceneFileError& e) {
            EXPECT_EQ(e.File(), "damaged.ncs");
            ASSERT_TRUE(e.Offset().has_value());
            EXPECT_EQ(*e.Offset(), offset) << e.what();
            EXPECT_NE(e.Problem().find(c.problem), std::string::npos) << e.what();
            EXPECT_EQ(std::string(e.what()).rfind("damaged.ncs: byte " + std::to_string(offset), 0),
                      0u)
                << e.what();
        }
        // Nothing built survives, and the current scene is as it was.
        EXPECT_EQ(scenetest::liveNodes, liveNodes);
        EXPECT_EQ(ConstMap::live.load(), liveMaps);
        EXPECT_EQ(ownerDesc_.creates - sdktest::ownersReleased, 1);
        EXPECT_EQ(current_->Roots(), roots);
        EXPECT_EQ(AsNode(roots[0])->value, 1);
    }
}

TEST_F(SceneFileTest, LoadSeesNoReferenceItsPostLoadCallbacksSeeThemByPriority) {
    scenetest::RegisteredDesc<LoadOrderNode> desc(L"LoadOrderNode", scenetest::kNodeSuperClass,
                                                  kLoadOrderClassId);
    Scene scene;
    auto* parent = new LoadOrderNode;
    parent->ReplaceReference(0, MakeNode(1, L"child"));
    scene.Add(parent);
    const std::unique_ptr<Scene> loaded =
        standin::ReadSceneBytes(standin::WriteSceneBytes(scene, "order.ncs"), "order.ncs");

    auto* back = dynamic_cast<LoadOrderNode*>(loaded->Roots()[0]);
    ASSERT_NE(back, nullptr);
    ReferenceTarget* child = back->GetReference(0);
    ASSERT_NE(AsNode(child), nullptr);
    EXPECT_EQ(AsNode(child)->label, L"child");
    EXPECT_EQ(back->seenByLoad, nullptr);
    const std::vector<std::pair<int, RefTargetHandle>> expected = {{0, child}, {5, child}};
    EXPECT_EQ(back->seenByCallbacks, expected);
}

TEST_F(SceneFileTest, AnObjectWhoseLoadFailsEndsLoading) {
    Scene scene;
    Node* refusing = MakeNode(8, scenetest::kRefusingLabel);
    Node* parent = MakeNode(9, L"P");
    parent->ReplaceReference(0, refusing);
    scene.Add(parent);
    const std::vector<std::uint8_t> bytes = standin::WriteSceneBytes(scene, "refusing.ncs");
    const int k = NodeIndex(bytes, scenetest::kRefusingLabel);
    const std::size_t data = ChunkAt(bytes, {{kObjects, 0}, {kObject, k}, {kData, 0}}) + 6;
    try {
        standin::ReadSceneBytes(bytes, "refusing.ncs");
        FAIL() << "loaded";
    } catch (const SceneFileError& e) {
        EXPECT_EQ(e.Offset(), data);
        EXPECT_NE(e.Problem().find("(class SceneNode) could not load its data"), std::string::npos)
            << e.what();
    }
    EXPECT_EQ(scenetest::liveNodes, 2);
}

TEST_F(SceneFileTest, ReferenceCycleIsRefused) {
    std::vector<std::uint8_t> bytes = SampleBytes();
    const int a = NodeIndex(bytes, L"A");
    const int d = NodeIndex(bytes, L"D");
    PutU32(bytes, ChunkAt(bytes, {{kObjects, 0}, {kObject, d}, {kReferences, 0}}) + 6 + 4,
           static_cast<std::uint32_t>(a));
    std::set<std::size_t> onCycle;
    for (const wchar_t* label : {L"A", L"B", L"C", L"D"}) {
        onCycle.insert(ChunkAt(bytes, {{kObjects, 0}, {kObject, NodeIndex(bytes, label)}}));
    }
    try {
        standin::ReadSceneBytes(bytes, "cycle.ncs");
        FAIL() << "loaded";
    } catch (const SceneFileError& e) {
        EXPECT_NE(e.Problem().find("reference cycle"), std::string::npos) << e.what();
        EXPECT_TRUE(e.Offset() && onCycle.count(*e.Offset())) << e.what();
    }
}

TEST_F(SceneFileTest, ChainsDeeperThanTheLimitAreRefused) {
    Scene scene;
    Node* top = MakeNode(0, L"top");
    scene.Add(top);
    Node* at = top;
    for (int i = 0; i <= standin::kMaxReferenceDepth; ++i) {
        Node* next = MakeNode(i, L"");
        at->ReplaceReference(0, next);
        at = next;
    }
    const std::vector<std::uint8_t> bytes = standin::WriteSceneBytes(scene, "deep.ncs");
    try {
        standin::ReadSceneBytes(bytes, "deep.ncs");
        FAIL() << "loaded";
    } catch (const SceneFileError& e) {
        EXPECT_NE(e.Problem().find("references deep"), std::string::npos) << e.what();
    }
}

// Every truncation fails cleanly; single damaged bytes either load or fail
// cleanly, never anything else (run under the sanitizers for the full check).
TEST_F(SceneFileTest, TruncationsAndFlippedBytesNeverCrash) {
    const std::vector<std::uint8_t> sample = SampleBytes();
    for (std::size_t size = 0; size < sample.size(); ++size) {
        const std::vector<std::uint8_t> cut(sample.begin(), sample.begin() + size);
        EXPECT_THROW(standin::ReadSceneBytes(cut, "cut.ncs"), SceneFileError) << size;
    }
    for (std::size_t at = 0; at < sample.size(); ++at) {
        for (const std::uint8_t flip : {0x01, 0x80, 0xFF}) {
            std::vector<std::uint8_t> bytes = sample;
            bytes[at] ^= flip;
            try {
                standin::ReadSceneBytes(bytes, "flipped.ncs");
            } catch (const SceneFileError&) {
            }
        }
    }
    EXPECT_EQ(scenetest::liveNodes, 0);
    EXPECT_EQ(ConstMap::live.load(), 0);
}

TEST(CloneOnceRemapDir, ClonesASharedTargetOnceAndSharesNothingWithTheSource) {
    scenetest::liveNodes = 0;
    {
        Scene scene;
        Node* a = new Node;
        Node* b = new Node;
        Node* shared = new Node;
        shared->value = 42;
        a->ReplaceReference(0, b);
        a->ReplaceReference(1, shared);
        b->ReplaceReference(0, shared);
        scene.Add(a);

        standin::CloneOnceRemapDir remap;
        auto* copy = AsNode(remap.CloneRef(a));
        ASSERT_NE(copy, nullptr);
        scene.Add(copy);
        EXPECT_EQ(remap.Count(), 3);
        EXPECT_EQ(remap.CloneRef(a), copy);  // asked again: the same clone
        EXPECT_EQ(remap.CloneRef(nullptr), nullptr);

        Node* copyB = AsNode(copy->GetReference(0));
        Node* copyShared = AsNode(copy->GetReference(1));
        ASSERT_TRUE(copyB && copyShared);
        EXPECT_NE(copyB, b);
        EXPECT_NE(copyShared, shared);
        EXPECT_EQ(copyB->GetReference(0), copyShared);
        EXPECT_EQ(copyShared->value, 42);
        EXPECT_EQ(scenetest::liveNodes, 6);

        scene.Remove(a);  // the source goes; the clone is untouched
        EXPECT_EQ(scenetest::liveNodes, 3);
        EXPECT_EQ(copyB->GetReference(0), copyShared);
    }
    EXPECT_EQ(scenetest::liveNodes, 0);
}

}  // namespace
