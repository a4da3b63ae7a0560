// Texts from shared blocks: ordinary BSTRs to every caller, freed one by one in any order and on
// any thread, each block returned with its last text (the sanitiser build reports a leak, a double
// free or a use of a freed text), and every text and block an allocation step that can fail.
#include "platform/com/bstr_arena.h"
#include "platform/com/com_safearray.h"
#include "platform/kernel/fault_injection.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <thread>
#include <vector>

using namespace quill;
using namespace quill::com;

namespace {

std::u16string Numbered(std::size_t i) {
    return u"текст " + std::u16string(i % 23, static_cast<char16_t>(u'a' + i % 26));
}

BSTR FromArena(TBStrArena& arena, const std::u16string& text) {
    return arena.AllocateByteLen(reinterpret_cast<const char*>(text.data()),
                                 static_cast<UINT>(text.size() * 2));
}

TEST(BStrArena, TextsReadAndFreeLikeHeapTextsInAnyOrderAndOnAnyThread) {
    std::vector<BSTR> texts;
    {
        TBStrArena arena;
        for (std::size_t i = 0; i < 5000; ++i)
            texts.push_back(FromArena(arena, Numbered(i)));
        // Odd byte counts, empty texts and zero-filled texts, as SysAllocStringByteLen makes.
        texts.push_back(arena.AllocateByteLen("abc", 3));
        texts.push_back(arena.AllocateByteLen("", 0));
        texts.push_back(arena.AllocateByteLen(nullptr, 6));
        // Longer than a block takes: a heap text of its own, freed the same way.
        const std::u16string longText(20000, u'я');
        texts.push_back(FromArena(arena, longText));
    } // the arena goes first: its texts do not depend on it
    for (std::size_t i = 0; i < 5000; ++i) {
        ASSERT_NE(texts[i], nullptr);
        EXPECT_EQ(TextFromBStr(texts[i]), Numbered(i)) << i;
        EXPECT_EQ(texts[i][SysStringLen(texts[i])], 0) << i;
    }
    BSTR odd = texts[5000];
    EXPECT_EQ(SysStringByteLen(odd), 3u);
    EXPECT_EQ(reinterpret_cast<const char*>(odd)[3], 0);
    EXPECT_EQ(odd[2], 0); // the character that holds the last byte's successor ends the text
    EXPECT_EQ(SysStringLen(texts[5001]), 0u);
    EXPECT_EQ(TextFromBStr(texts[5002]), std::u16string(3, u'\0'));
    EXPECT_EQ(SysStringLen(texts[5003]), 20000u);
    EXPECT_EQ(texts[5003][19999], u'я');

    // A copy made by the ordinary allocator compares equal; reallocation replaces a block text.
    BSTR copy = SysAllocStringLen(texts[7], SysStringLen(texts[7]));
    EXPECT_EQ(TextFromBStr(copy), TextFromBStr(texts[7]));
    SysFreeString(copy);
    ASSERT_TRUE(SysReAllocString(&texts[8], u"заменён"));
    EXPECT_EQ(TextFromBStr(texts[8]), u"заменён");

    // Freed in a shuffled order, half of them on another thread at the same time.
    std::shuffle(texts.begin(), texts.end(), std::mt19937(18));
    const std::size_t half = texts.size() / 2;
    std::thread other([&] {
        for (std::size_t i = half; i < texts.size(); ++i)
            SysFreeString(texts[i]);
    });
    for (std::size_t i = 0; i < half; ++i)
        SysFreeString(texts[i]);
    other.join();
}

TEST(BStrArena, EveryShortLengthIsCopiedWholeAndEndsInZeros) {
    // Short texts are copied in pieces of fixed sizes: each length from 0 to 40 bytes, with no
    // two bytes alike, comes back byte for byte and followed by a zero character.
    std::string source;
    for (int i = 0; i < 48; ++i)
        source.push_back(static_cast<char>(0x41 + i));
    TBStrArena arena;
    for (UINT length = 0; length <= 40; ++length) {
        BSTR text = arena.AllocateByteLen(source.data(), length);
        ASSERT_NE(text, nullptr);
        ASSERT_EQ(SysStringByteLen(text), length);
        const char* bytes = reinterpret_cast<const char*>(text);
        EXPECT_EQ(std::string(bytes, length), source.substr(0, length)) << length;
        EXPECT_EQ(bytes[length], 0) << length;
        EXPECT_EQ(bytes[length + 1], 0) << length;
        SysFreeString(text);
    }
}

TEST(BStrArena, ATableOfBlockTextsAndOthersIsDestroyedWithEveryText) {
    // Cells holding block texts of two arenas, heap texts and a nested array of block texts, in
    // an order that switches between blocks: destruction frees each once.
    const SAFEARRAYBOUND bounds[2] = {{300, 0}, {7, 0}};
    SAFEARRAY* table = SafeArrayCreate(VT_VARIANT, 2, bounds);
    ASSERT_NE(table, nullptr);
    auto* cells = static_cast<VARIANT*>(table->pvData);
    TBStrArena first, second;
    for (std::size_t i = 0; i < 2100; ++i) {
        VARIANT& cell = cells[i];
        cell.vt = VT_BSTR;
        switch (i % 4) {
        case 0:
            cell.bstrVal = FromArena(first, Numbered(i));
            break;
        case 1:
            cell.bstrVal = FromArena(second, Numbered(i));
            break;
        case 2:
            cell.bstrVal = BStrFromText(Numbered(i));
            break;
        default:
            cell.vt = VT_EMPTY;
            break;
        }
    }
    SAFEARRAY* texts = SafeArrayCreateVector(VT_BSTR, 0, 50);
    for (LONG i = 0; i < 50; ++i)
        static_cast<BSTR*>(texts->pvData)[i] =
            FromArena(first, Numbered(static_cast<std::size_t>(i)));
    cells[3].vt = VT_ARRAY | VT_BSTR;
    cells[3].parray = texts;
    EXPECT_EQ(TextFromBStr(cells[1].bstrVal), Numbered(1));
    EXPECT_EQ(SafeArrayDestroy(table), S_OK);
}

TEST(BStrArena, EveryTextAndEveryBlockIsAnAllocationThatCanFail) {
    // Walks the failing allocation over 600 texts: the failed one is nil, the arena goes on,
    // and the texts before and after it are whole.
    std::uint64_t steps = 0;
    for (std::uint64_t n = 1;; ++n) {
        std::vector<BSTR> texts;
        {
            TBStrArena arena;
            kernel::ArmFault(kernel::TFaultKind::Allocation, n, ENOMEM);
            for (std::size_t i = 0; i < 600; ++i)
                texts.push_back(FromArena(arena, Numbered(i)));
            const bool fired = kernel::FaultsFired(kernel::TFaultKind::Allocation) > 0;
            steps = kernel::FaultsCounted(kernel::TFaultKind::Allocation);
            kernel::DisarmFaults();
            const auto nils = std::count(texts.begin(), texts.end(), nullptr);
            EXPECT_EQ(nils, fired ? 1 : 0) << n;
            for (std::size_t i = 0; i < texts.size(); ++i) {
                if (texts[i]) {
                    EXPECT_EQ(TextFromBStr(texts[i]), Numbered(i)) << n;
                }
            }
            for (BSTR text : texts)
                SysFreeString(text);
            if (!fired) break;
        }
    }
    // One step per text and one per block.
    EXPECT_GT(steps, 600u);
    EXPECT_LT(steps, 640u);
}

TEST(BStrArena, TheWordBeforeEveryTextIsItsPlainByteLength) {
    // Code on the other side of the interface reads the length word itself, not through
    // SysStringByteLen: it must hold the byte count for heap and block texts alike.
    auto wordBefore = [](BSTR text) {
        std::uint32_t word;
        std::memcpy(&word, reinterpret_cast<const char*>(text) - 4, 4);
        return word;
    };
    TBStrArena arena;
    BSTR carved = arena.AllocateByteLen("abcdef", 6);
    BSTR own = SysAllocStringByteLen("abcdef", 6);
    BSTR large = arena.AllocateByteLen(nullptr, 1u << 20); // too large for a block
    EXPECT_EQ(wordBefore(carved), 6u);
    EXPECT_EQ(wordBefore(own), 6u);
    EXPECT_EQ(wordBefore(large), 1u << 20);
    EXPECT_EQ(SysStringByteLen(carved), 6u);
    EXPECT_EQ(SysStringByteLen(large), 1u << 20);
    for (BSTR text : {carved, own, large})
        SysFreeString(text);
    // Lengths that no allocation can hold are refused rather than wrapped.
    EXPECT_EQ(SysAllocStringByteLen(nullptr, 0xFFFFFFF0u), nullptr);
    EXPECT_EQ(arena.AllocateByteLen(nullptr, 0xFFFFFFF0u), nullptr);
}

} // namespace
