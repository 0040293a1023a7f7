#include "png/PngFilters.h"

void UnfilterRowPlain(uint8_t filterType, uint8_t* x, const uint8_t* prior, size_t n, size_t s) {
  switch (filterType) {
    case 1:
      for (size_t j = s; j < n; ++j) x[j] = static_cast<uint8_t>(x[j] + x[j - s]);
      break;
    case 2:
      for (size_t j = 0; j < n; ++j) x[j] = static_cast<uint8_t>(x[j] + prior[j]);
      break;
    case 3:
      for (size_t j = 0; j < n && j < s; ++j) x[j] = static_cast<uint8_t>(x[j] + (prior[j] >> 1));
      for (size_t j = s; j < n; ++j) x[j] = static_cast<uint8_t>(x[j] + ((prior[j] + x[j - s]) >> 1));
      break;
    case 4:
      for (size_t j = 0; j < n && j < s; ++j) x[j] = static_cast<uint8_t>(x[j] + prior[j]);
      for (size_t j = s; j < n; ++j) x[j] = static_cast<uint8_t>(x[j] + PaethPredictor(x[j - s], prior[j], prior[j - s]));
      break;
    default: break;
  }
}

void FilterRow(uint8_t filterType, const uint8_t* x, const uint8_t* prior, uint8_t* out, size_t n, size_t s) {
  switch (filterType) {
    case 1:
      for (size_t j = 0; j < n; ++j) out[j] = static_cast<uint8_t>(x[j] - (j >= s ? x[j - s] : 0));
      break;
    case 2:
      for (size_t j = 0; j < n; ++j) out[j] = static_cast<uint8_t>(x[j] - prior[j]);
      break;
    case 3:
      for (size_t j = 0; j < n; ++j) out[j] = static_cast<uint8_t>(x[j] - ((prior[j] + (j >= s ? x[j - s] : 0)) >> 1));
      break;
    case 4:
      for (size_t j = 0; j < n; ++j)
        out[j] = static_cast<uint8_t>(
            x[j] - (j >= s ? PaethPredictor(x[j - s], prior[j], prior[j - s]) : PaethPredictor(0, prior[j], 0)));
      break;
    default:
      for (size_t j = 0; j < n; ++j) out[j] = x[j];
      break;
  }
}

void UnfilterRow(uint8_t filterType, uint8_t* x, const uint8_t* prior, size_t n, size_t s) {
  UnfilterRowPlain(filterType, x, prior, n, s);
}
