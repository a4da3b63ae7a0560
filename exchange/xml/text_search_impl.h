// The search behind ReplaceAll: finds the occurrences of a search text in a text, left to right,
// for 8-bit and UTF-16 characters, matching exactly or with the Latin letters a to z folded to
// upper case.
//
// A window of the text can hold an occurrence only where its first and its last character both
// match; the finder tests that for 16 bytes of windows at a time (SSE2, on every x86-64) and
// compares the characters between only for the windows that pass. With a search text that starts
// and ends with characters as common as a blank and "=", few windows do. A Latin letter matches
// in either case by comparing the text's character with bit 0x20 set against the lower-case
// letter: no other character gives the same value. Without SSE2 the same test runs one window at
// a time. Borrowed views: text and search text must outlive the finder. Thread-safe (no state
// changes after construction).
#pragma once

#include <bit>
#include <cstddef>
#include <cstring>
#include <string_view>
#include <type_traits>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace quill::exchange::detail {

inline constexpr std::size_t kNotFound = static_cast<std::size_t>(-1);

template <class CharT> unsigned CharCode(CharT c) {
    return static_cast<unsigned>(static_cast<std::make_unsigned_t<CharT>>(c));
}

template <class CharT> bool IsLatinLetter(CharT c) {
    const unsigned u = CharCode(c) | 0x20u;
    return u >= 'a' && u <= 'z';
}

// The character with a to z made upper case (with `exactCase`, the character itself).
template <bool ExactCase, class CharT> unsigned FoldChar(CharT c) {
    const unsigned u = CharCode(c);
    if constexpr (ExactCase)
        return u;
    else
        return (u >= 'a' && u <= 'z') ? u - ('a' - 'A') : u;
}

template <bool ExactCase, class CharT> class TTextFinder {
    static_assert(sizeof(CharT) == 1 || sizeof(CharT) == 2);

  public:
    // `search` must not be empty.
    TTextFinder(std::basic_string_view<CharT> text, std::basic_string_view<CharT> search)
        : FText(text), FSearch(search), FFirst(Probe(search.front())), FLast(Probe(search.back())) {
    }

    // The first occurrence that starts at or after `from`, or kNotFound.
    std::size_t Next(std::size_t from) const {
        const std::size_t m = FSearch.size();
        if (FText.size() < m) return kNotFound;
        const std::size_t end = FText.size() - m; // the last window's start
        const CharT* const data = FText.data();
        std::size_t i = from;
#if defined(__SSE2__)
        constexpr std::size_t lanes = 16 / sizeof(CharT);
        const __m128i firstOr = Splat(FFirst.Or), firstIs = Splat(FFirst.Is);
        const __m128i lastOr = Splat(FLast.Or), lastIs = Splat(FLast.Is);
        for (; i + lanes - 1 <= end; i += lanes) {
            const __m128i head = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + i));
            const __m128i tail =
                _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + i + m - 1));
            const __m128i both = _mm_and_si128(Equal(_mm_or_si128(head, firstOr), firstIs),
                                               Equal(_mm_or_si128(tail, lastOr), lastIs));
            // One bit per byte; a UTF-16 lane gives two equal bits, of which the lower counts.
            unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(both));
            if constexpr (sizeof(CharT) == 2) mask &= 0x5555u;
            while (mask) {
                const std::size_t at = i + std::countr_zero(mask) / sizeof(CharT);
                if (Between(data + at)) return at;
                mask &= mask - 1;
            }
        }
#endif
        for (; i <= end; ++i)
            if (FFirst.Matches(data[i]) && FLast.Matches(data[i + m - 1]) && Between(data + i))
                return i;
        return kNotFound;
    }

  private:
    // A character of the search text as the test sees it: a text character c matches when
    // (c | Or) == Is.
    struct TProbe {
        unsigned Or = 0;
        unsigned Is = 0;
        bool Matches(CharT c) const { return (CharCode(c) | Or) == Is; }
    };

    static TProbe Probe(CharT c) {
        if (!ExactCase && IsLatinLetter(c)) return {0x20u, CharCode(c) | 0x20u};
        return {0, CharCode(c)};
    }

    // Whether the characters between the first and the last of the window at `window` match.
    bool Between(const CharT* window) const {
        const std::size_t m = FSearch.size();
        if (m <= 2) return true;
        if constexpr (ExactCase) {
            return std::memcmp(window + 1, FSearch.data() + 1, (m - 2) * sizeof(CharT)) == 0;
        } else {
            for (std::size_t j = 1; j + 1 < m; ++j)
                if (FoldChar<false>(window[j]) != FoldChar<false>(FSearch[j])) return false;
            return true;
        }
    }

#if defined(__SSE2__)
    static __m128i Splat(unsigned v) {
        if constexpr (sizeof(CharT) == 1)
            return _mm_set1_epi8(static_cast<char>(v));
        else
            return _mm_set1_epi16(static_cast<short>(v));
    }
    static __m128i Equal(__m128i a, __m128i b) {
        if constexpr (sizeof(CharT) == 1)
            return _mm_cmpeq_epi8(a, b);
        else
            return _mm_cmpeq_epi16(a, b);
    }
#endif

    std::basic_string_view<CharT> FText;
    std::basic_string_view<CharT> FSearch;
    TProbe FFirst;
    TProbe FLast;
};

} // namespace quill::exchange::detail
