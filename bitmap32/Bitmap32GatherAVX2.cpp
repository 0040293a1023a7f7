// The AVX2 form of the column gather of the nearest stretch. Compiled for
// AVX2 only here; start-up picks it only when the processor has it.
#include <immintrin.h>

#include "bitmap32/Bitmap32Transfers.h"

#define HK_AVX2 __attribute__((target("avx2")))

HK_AVX2 void GatherColumnsAVX2(const TColor32* row, int rowLength, const int* columns, int count, TColor32* out) {
  const __m256i seven = _mm256_set1_epi32(7);
  int i = 0;
  for (; i + 8 <= count; i += 8) {
    const __m256i index = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(columns + i));
    const int first = columns[i];
    __m256i pixels;
    // Eight columns within eight pixels of the first (every enlargement, and
    // mild reductions): one load of those pixels, put in order by a permute.
    // The load stays inside the row, so it never passes the bitmap's end.
    const __m256i offset = _mm256_sub_epi32(index, _mm256_set1_epi32(first));
    const bool close = _mm256_movemask_epi8(_mm256_cmpeq_epi32(_mm256_max_epu32(offset, seven), seven)) == -1;
    if (close && first + 8 <= rowLength) {
      const __m256i near = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(row + first));
      pixels = _mm256_permutevar8x32_epi32(near, offset);
    } else {
      pixels = _mm256_i32gather_epi32(reinterpret_cast<const int*>(row), index, 4);
    }
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + i), pixels);
  }
  for (; i < count; ++i) out[i] = row[columns[i]];
}
