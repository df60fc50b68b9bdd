// The stand-in's Windows calls: LoadStringW on registered instance handles,
// ShellExecuteW through the host's handler, DisableThreadLibraryCalls.
#include "win_shim.h"

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "res_builder.h"
#include "modules/instance.h"
#include "modules/resources.h"
#include "platform/shell.h"

namespace {

std::shared_ptr<const standin::ModuleResources> TestResources() {
    std::array<std::u16string, 16> block1;
    block1[1] = u"Nacrelle";
    block1[2] = u"Hue Shift (\u00B1\u00B0):";
    block1[3] = u"clef \U0001D11E";
    std::array<std::u16string, 16> block3;
    block3[2] = u"thirty-four";
    const auto image = restest::ResImage({
        {standin::NameOrOrdinal::Ordinal(6), standin::NameOrOrdinal::Ordinal(1), 0x0409,
         restest::StringBlock(block1)},
        {standin::NameOrOrdinal::Ordinal(6), standin::NameOrOrdinal::Ordinal(3), 0x0409,
         restest::StringBlock(block3)},
    });
    return std::make_shared<const standin::ModuleResources>(image);
}

struct LoadCase {
    const char* name;
    UINT id;
    int capacity;
    int count;              // LoadStringW's result
    std::wstring contents;  // of the buffer afterwards, up to its null
};

TEST(LoadStringW, CopiesTruncatesAndTerminates) {
    const standin::InstanceHandle instance("strings", TestResources());
    const std::vector<LoadCase> cases = {
        {"Whole", 1, 512, 8, L"Nacrelle"},
        {"ExactFit", 1, 9, 8, L"Nacrelle"},
        {"TruncatedByOne", 1, 8, 7, L"Nacrell"},
        {"TruncatedToOne", 1, 2, 1, L"N"},
        {"RoomForTheNullOnly", 1, 1, 0, L""},
        {"NonAscii", 2, 512, 15, L"Hue Shift (\u00B1\u00B0):"},
        // One wide character for the pair where wchar_t holds code points.
        {"SurrogatePair", 3, 512, sizeof(wchar_t) == 4 ? 6 : 7, L"clef \U0001D11E"},
        {"OtherBlock", 34, 512, 11, L"thirty-four"},
        {"EmptySlotOfABlock", 4, 512, 0, L""},
        {"MissingBlock", 17, 512, 0, L""},
        {"BeyondStringIds", 0x10001, 512, 0, L""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<wchar_t> buffer(static_cast<std::size_t>(c.capacity) + 4, L'#');
        EXPECT_EQ(LoadStringW(instance.Get(), c.id, buffer.data(), c.capacity), c.count);
        EXPECT_EQ(std::wstring(buffer.data()), c.contents);
        // Nothing is written past the capacity.
        for (std::size_t i = static_cast<std::size_t>(c.capacity); i < buffer.size(); ++i) {
            EXPECT_EQ(buffer[i], L'#');
        }
    }
}

TEST(LoadStringW, ReturnsZeroForBadArgumentsWithoutWriting) {
    const standin::InstanceHandle instance("strings", TestResources());
    wchar_t buffer[16] = {L'#', L'\0'};
    EXPECT_EQ(LoadStringW(instance.Get(), 1, nullptr, 16), 0);
    EXPECT_EQ(LoadStringW(instance.Get(), 1, buffer, 0), 0);
    EXPECT_EQ(LoadStringW(instance.Get(), 1, buffer, -5), 0);
    EXPECT_EQ(buffer[0], L'#');
}

TEST(LoadStringW, RefusesNullUnknownAndStaleHandles) {
    wchar_t buffer[16] = {L'#', L'\0'};
    EXPECT_EQ(LoadStringW(nullptr, 1, buffer, 16), 0);
    EXPECT_EQ(buffer[0], L'\0');

    // An address that was never a handle: looked up, not dereferenced.
    int notAHandle = 0;
    EXPECT_EQ(LoadStringW(reinterpret_cast<HINSTANCE>(&notAHandle), 1, buffer, 16), 0);

    HINSTANCE stale = nullptr;
    {
        const standin::InstanceHandle instance("strings", TestResources());
        stale = instance.Get();
        EXPECT_EQ(LoadStringW(stale, 1, buffer, 16), 8);
    }
    EXPECT_EQ(LoadStringW(stale, 1, buffer, 16), 0);
}

TEST(InstanceHandle, RegistersWhileAliveAndMovesOwnership) {
    const std::size_t before = standin::LiveInstanceCount();
    standin::InstanceHandle first("first.dlt", TestResources());
    EXPECT_EQ(standin::LiveInstanceCount(), before + 1);
    EXPECT_EQ(standin::InstanceModuleName(first.Get()), "first.dlt");
    ASSERT_NE(standin::InstanceResources(first.Get()), nullptr);

    const HINSTANCE handle = first.Get();
    standin::InstanceHandle moved(std::move(first));
    EXPECT_EQ(first.Get(), nullptr);
    EXPECT_EQ(moved.Get(), handle);
    EXPECT_EQ(standin::LiveInstanceCount(), before + 1);

    standin::InstanceHandle other("other.dlt", nullptr);  // no resources at all
    wchar_t buffer[8];
    EXPECT_EQ(LoadStringW(other.Get(), 1, buffer, 8), 0);
    moved = std::move(other);
    EXPECT_EQ(standin::LiveInstanceCount(), before + 1);
    EXPECT_EQ(standin::InstanceResources(handle), nullptr);
    EXPECT_EQ(standin::InstanceModuleName(moved.Get()), "other.dlt");
}

TEST(DisableThreadLibraryCalls, IsRecordedForLiveHandlesOnly) {
    const standin::InstanceHandle instance("module.dlt", nullptr);
    EXPECT_FALSE(standin::ThreadLibraryCallsDisabled(instance.Get()));
    EXPECT_EQ(DisableThreadLibraryCalls(instance.Get()), TRUE);
    EXPECT_TRUE(standin::ThreadLibraryCallsDisabled(instance.Get()));
    EXPECT_EQ(DisableThreadLibraryCalls(nullptr), FALSE);
    int notAHandle = 0;
    EXPECT_EQ(DisableThreadLibraryCalls(reinterpret_cast<HMODULE>(&notAHandle)), FALSE);
}

INT_PTR ResultCode(HINSTANCE result) { return reinterpret_cast<INT_PTR>(result); }

TEST(ShellExecuteW, HandsTheAddressInUtf8ToTheInstalledHandler) {
    std::vector<std::string> opened;
    const standin::ScopedShellHandler handler([&](std::string a) { opened.push_back(a); });
    EXPECT_GT(ResultCode(ShellExecuteW(nullptr, nullptr, L"https://example.org/a?b=c", nullptr,
                                       nullptr, SW_SHOW)),
              32);
    EXPECT_GT(ResultCode(ShellExecuteW(nullptr, L"open", L"https://example.org/\u00E9\U0001D11E",
                                       L"", L"", SW_SHOW)),
              32);
    EXPECT_EQ(opened, (std::vector<std::string>{"https://example.org/a?b=c",
                                                "https://example.org/\xC3\xA9\xF0\x9D\x84\x9E"}));
}

TEST(ShellExecuteW, ReportsAnErrorAndRecordsNothingWhenItCannotOpen) {
    std::vector<std::string> opened;
    {
        const standin::ScopedShellHandler handler([&](std::string a) { opened.push_back(a); });
        EXPECT_EQ(ResultCode(ShellExecuteW(nullptr, L"print", L"https://example.org", nullptr,
                                           nullptr, SW_SHOW)),
                  SE_ERR_NOASSOC);
        EXPECT_EQ(ResultCode(ShellExecuteW(nullptr, nullptr, nullptr, nullptr, nullptr, SW_SHOW)),
                  ERROR_FILE_NOT_FOUND);
        EXPECT_EQ(ResultCode(ShellExecuteW(nullptr, nullptr, L"", nullptr, nullptr, SW_SHOW)),
                  ERROR_FILE_NOT_FOUND);
    }
    // The scoped handler is gone and none was installed before it.
    EXPECT_EQ(ResultCode(ShellExecuteW(nullptr, nullptr, L"https://example.org", nullptr, nullptr,
                                       SW_SHOW)),
              SE_ERR_NOASSOC);
    EXPECT_TRUE(opened.empty());
}

TEST(ShellExecuteW, ReportsAFailingHandlerAsAnError) {
    const standin::ScopedShellHandler handler(
        [](std::string) { throw std::runtime_error("no browser"); });
    EXPECT_EQ(ResultCode(ShellExecuteW(nullptr, nullptr, L"https://example.org", nullptr, nullptr,
                                       SW_SHOW)),
              SE_ERR_NOASSOC);
}

TEST(ShellHandler, ScopedHandlersNestAndRestoreTheEarlierOne) {
    std::vector<std::string> outer;
    std::vector<std::string> inner;
    standin::InstallShellHandler([&](std::string a) { outer.push_back(a); });
    {
        const standin::ScopedShellHandler scoped([&](std::string a) { inner.push_back(a); });
        EXPECT_TRUE(standin::DispatchShellOpen("one"));
    }
    EXPECT_TRUE(standin::DispatchShellOpen("two"));
    standin::RemoveShellHandler();
    EXPECT_FALSE(standin::DispatchShellOpen("three"));
    EXPECT_EQ(inner, std::vector<std::string>{"one"});
    EXPECT_EQ(outer, std::vector<std::string>{"two"});
}

}  // namespace
