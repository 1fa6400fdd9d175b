#include "repair/crc32_fold.h"

// CRC-32 by carry-less multiplication: four 128-bit lanes are folded forward
// 64 bytes a step (eight lanes, 128 bytes a step, where the processor
// multiplies 256-bit registers), then into one lane, then reduced to 32 bits
// (Barrett).
// All constants are powers of x modulo the CRC polynomial in the reflected
// bit order, made once by MakeFoldConstants from the polynomial itself.
#if defined(__i386__) || defined(__x86_64__)

#include <cpuid.h>
#include <immintrin.h>

#define KETRA_FOLD_TARGET __attribute__((target("pclmul,sse2")))
#if defined(__i386__)
// Windows only promises a 4-byte aligned stack to 32-bit code.
#define KETRA_FOLD_ENTRY __attribute__((force_align_arg_pointer))
#else
#define KETRA_FOLD_ENTRY
#endif

// x^n modulo the polynomial, as a 32-bit reflected value shifted left by one
// (the form the multiplications below take as a 33-bit operand).
static uint64_t ReflectedPowerMod(unsigned n)
{
    // Works in the normal bit order with the full polynomial 0x104C11DB7.
    uint64_t value = 1;
    for (unsigned i = 0; i < n; i++) {
        value <<= 1;
        if (value & 0x100000000ull)
            value ^= 0x104C11DB7ull;
    }
    uint64_t reflected = 0;
    for (int bit = 0; bit < 32; bit++)
        if (value & (1ull << bit))
            reflected |= 1ull << (31 - bit);
    return reflected << 1;
}

// floor(x^64 / P) in the reflected order, 33 bits.
static uint64_t ReflectedQuotient()
{
    // Long division of x^64 by P in the normal order.
    uint64_t quotient = 0;
    uint64_t remainder = 0; // holds the running 33-bit window
    for (int bit = 64; bit >= 0; bit--) {
        remainder = (remainder << 1) | (bit == 64 ? 1u : 0u);
        quotient <<= 1;
        if (remainder & 0x100000000ull) {
            remainder ^= 0x104C11DB7ull;
            quotient |= 1;
        }
    }
    uint64_t reflected = 0;
    for (int bit = 0; bit < 33; bit++)
        if (quotient & (1ull << bit))
            reflected |= 1ull << (32 - bit);
    return reflected;
}

struct FoldConstants {
    alignas(32) uint64_t by8[4];  // fold 1024 bits forward, both halves of a 256-bit lane
    alignas(32) uint64_t by4w[4]; // fold 512 bits forward, the same
    alignas(16) uint64_t by4[2];  // fold 512 bits forward
    alignas(16) uint64_t by1[2];  // fold 128 bits forward
    alignas(16) uint64_t to64[2]; // 96 bits down to 64
    alignas(16) uint64_t barrett[2];
};

static FoldConstants Constants;
static int FoldState; // 0 unknown, 1 usable, -1 not on this processor
static bool WideFold; // 256-bit lanes too

static void MakeFoldConstants()
{
    Constants.by8[0] = Constants.by8[2] = ReflectedPowerMod(8 * 128 + 32);
    Constants.by8[1] = Constants.by8[3] = ReflectedPowerMod(8 * 128 - 32);
    Constants.by4w[0] = Constants.by4w[2] = ReflectedPowerMod(4 * 128 + 32);
    Constants.by4w[1] = Constants.by4w[3] = ReflectedPowerMod(4 * 128 - 32);
    Constants.by4[0] = ReflectedPowerMod(4 * 128 + 32);
    Constants.by4[1] = ReflectedPowerMod(4 * 128 - 32);
    Constants.by1[0] = ReflectedPowerMod(128 + 32);
    Constants.by1[1] = ReflectedPowerMod(128 - 32);
    Constants.to64[0] = ReflectedPowerMod(64);
    Constants.to64[1] = 0;
    Constants.barrett[0] = 0x1DB710641ull; // the polynomial, reflected, 33 bits
    Constants.barrett[1] = ReflectedQuotient();
}

// 256-bit carry-less multiplication needs AVX2, VPCLMULQDQ and a system
// that saves the 256-bit registers.
static bool HasWideFold()
{
    unsigned a = 0, b = 0, c = 0, d = 0;
    if (!__get_cpuid(1, &a, &b, &c, &d))
        return false;
    const unsigned osxsave = 1u << 27, avx = 1u << 28;
    if ((c & (osxsave | avx)) != (osxsave | avx))
        return false;
    unsigned low = 0, high = 0;
    __asm__ volatile("xgetbv" : "=a"(low), "=d"(high) : "c"(0));
    if ((low & 6) != 6)
        return false;
    if (__get_cpuid_max(0, nullptr) < 7)
        return false;
    __cpuid_count(7, 0, a, b, c, d);
    const unsigned avx2 = 1u << 5, vpclmulqdq = 1u << 10;
    return (b & avx2) && (c & vpclmulqdq);
}

bool Crc32FoldAvailable()
{
    if (FoldState == 0) {
        unsigned a = 0, b = 0, c = 0, d = 0;
        bool has = __get_cpuid(1, &a, &b, &c, &d) && (c & bit_PCLMUL) && (d & bit_SSE2);
        if (has) {
            MakeFoldConstants();
            WideFold = HasWideFold();
        }
        FoldState = has ? 1 : -1;
    }
    return FoldState > 0;
}

// Four 128-bit lanes holding the folded state of everything before at, then
// length more bytes (a multiple of 16) to the 32-bit register.
__attribute__((always_inline)) KETRA_FOLD_TARGET static inline uint32_t
FoldLanes(__m128i x1, __m128i x2, __m128i x3, __m128i x4, const __m128i* at, size_t length)
{
    __m128i k = _mm_loadu_si128((const __m128i*)Constants.by4);
    while (length >= 64) {
        __m128i l1 = _mm_clmulepi64_si128(x1, k, 0x00);
        __m128i l2 = _mm_clmulepi64_si128(x2, k, 0x00);
        __m128i l3 = _mm_clmulepi64_si128(x3, k, 0x00);
        __m128i l4 = _mm_clmulepi64_si128(x4, k, 0x00);
        x1 = _mm_clmulepi64_si128(x1, k, 0x11);
        x2 = _mm_clmulepi64_si128(x2, k, 0x11);
        x3 = _mm_clmulepi64_si128(x3, k, 0x11);
        x4 = _mm_clmulepi64_si128(x4, k, 0x11);
        x1 = _mm_xor_si128(_mm_xor_si128(x1, l1), _mm_loadu_si128(at + 0));
        x2 = _mm_xor_si128(_mm_xor_si128(x2, l2), _mm_loadu_si128(at + 1));
        x3 = _mm_xor_si128(_mm_xor_si128(x3, l3), _mm_loadu_si128(at + 2));
        x4 = _mm_xor_si128(_mm_xor_si128(x4, l4), _mm_loadu_si128(at + 3));
        at += 4;
        length -= 64;
    }

    // Four lanes into one, then any further 16-byte blocks.
    k = _mm_loadu_si128((const __m128i*)Constants.by1);
    __m128i next[3] = {x2, x3, x4};
    for (int i = 0; i < 3; i++) {
        __m128i low = _mm_clmulepi64_si128(x1, k, 0x00);
        x1 = _mm_clmulepi64_si128(x1, k, 0x11);
        x1 = _mm_xor_si128(_mm_xor_si128(x1, low), next[i]);
    }
    while (length >= 16) {
        __m128i low = _mm_clmulepi64_si128(x1, k, 0x00);
        x1 = _mm_clmulepi64_si128(x1, k, 0x11);
        x1 = _mm_xor_si128(_mm_xor_si128(x1, low), _mm_loadu_si128(at));
        at++;
        length -= 16;
    }

    // 128 bits to 64: the low half is multiplied by x^(128-32) (by1[1]) and
    // added to the high half.
    __m128i mask32 = _mm_setr_epi32(-1, 0, -1, 0);
    __m128i folded = _mm_clmulepi64_si128(x1, k, 0x10);
    x1 = _mm_xor_si128(_mm_srli_si128(x1, 8), folded);
    // 96 bits to 64.
    k = _mm_loadl_epi64((const __m128i*)Constants.to64);
    __m128i high = _mm_srli_si128(x1, 4);
    x1 = _mm_clmulepi64_si128(_mm_and_si128(x1, mask32), k, 0x00);
    x1 = _mm_xor_si128(x1, high);
    // Barrett reduction to the 32-bit remainder.
    k = _mm_loadu_si128((const __m128i*)Constants.barrett);
    __m128i t = _mm_clmulepi64_si128(_mm_and_si128(x1, mask32), k, 0x10);
    t = _mm_clmulepi64_si128(_mm_and_si128(t, mask32), k, 0x00);
    x1 = _mm_xor_si128(x1, t);
    return (uint32_t)_mm_cvtsi128_si32(_mm_srli_si128(x1, 4));
}

// Eight 128-bit lanes in four 256-bit registers, 128 bytes a step; what is
// left goes on in four narrow lanes.
KETRA_FOLD_ENTRY __attribute__((target("avx2,vpclmulqdq,pclmul"))) static uint32_t
FoldWide(uint32_t value, const unsigned char* p, size_t length)
{
    const __m256i* at = (const __m256i*)p;
    __m256i y1 = _mm256_loadu_si256(at + 0);
    __m256i y2 = _mm256_loadu_si256(at + 1);
    __m256i y3 = _mm256_loadu_si256(at + 2);
    __m256i y4 = _mm256_loadu_si256(at + 3);
    y1 = _mm256_xor_si256(y1, _mm256_set_epi32(0, 0, 0, 0, 0, 0, 0, (int)value));
    at += 4;
    length -= 128;

    __m256i k = _mm256_loadu_si256((const __m256i*)Constants.by8);
    while (length >= 128) {
        __m256i l1 = _mm256_clmulepi64_epi128(y1, k, 0x00);
        __m256i l2 = _mm256_clmulepi64_epi128(y2, k, 0x00);
        __m256i l3 = _mm256_clmulepi64_epi128(y3, k, 0x00);
        __m256i l4 = _mm256_clmulepi64_epi128(y4, k, 0x00);
        y1 = _mm256_clmulepi64_epi128(y1, k, 0x11);
        y2 = _mm256_clmulepi64_epi128(y2, k, 0x11);
        y3 = _mm256_clmulepi64_epi128(y3, k, 0x11);
        y4 = _mm256_clmulepi64_epi128(y4, k, 0x11);
        y1 = _mm256_xor_si256(_mm256_xor_si256(y1, l1), _mm256_loadu_si256(at + 0));
        y2 = _mm256_xor_si256(_mm256_xor_si256(y2, l2), _mm256_loadu_si256(at + 1));
        y3 = _mm256_xor_si256(_mm256_xor_si256(y3, l3), _mm256_loadu_si256(at + 2));
        y4 = _mm256_xor_si256(_mm256_xor_si256(y4, l4), _mm256_loadu_si256(at + 3));
        at += 4;
        length -= 128;
    }
    // The first 64 bytes onto the second 64.
    k = _mm256_loadu_si256((const __m256i*)Constants.by4w);
    y3 = _mm256_xor_si256(y3, _mm256_xor_si256(_mm256_clmulepi64_epi128(y1, k, 0x00),
                                               _mm256_clmulepi64_epi128(y1, k, 0x11)));
    y4 = _mm256_xor_si256(y4, _mm256_xor_si256(_mm256_clmulepi64_epi128(y2, k, 0x00),
                                               _mm256_clmulepi64_epi128(y2, k, 0x11)));
    return FoldLanes(_mm256_castsi256_si128(y3), _mm256_extracti128_si256(y3, 1),
                     _mm256_castsi256_si128(y4), _mm256_extracti128_si256(y4, 1),
                     (const __m128i*)at, length);
}

KETRA_FOLD_ENTRY KETRA_FOLD_TARGET uint32_t Crc32Fold(uint32_t value, const unsigned char* p,
                                                      size_t length)
{
    if (WideFold && length >= 256)
        return FoldWide(value, p, length);
    const __m128i* at = (const __m128i*)p;
    __m128i x1 = _mm_loadu_si128(at + 0);
    __m128i x2 = _mm_loadu_si128(at + 1);
    __m128i x3 = _mm_loadu_si128(at + 2);
    __m128i x4 = _mm_loadu_si128(at + 3);
    x1 = _mm_xor_si128(x1, _mm_cvtsi32_si128((int)value));
    return FoldLanes(x1, x2, x3, x4, at + 4, length - 64);
}

#else

bool Crc32FoldAvailable()
{
    return false;
}

uint32_t Crc32Fold(uint32_t value, const unsigned char*, size_t)
{
    return value;
}

#endif
