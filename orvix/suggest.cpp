#include "orvix/suggest.h"

#include <algorithm>
#include <cctype>

namespace {

// The furthest a candidate may lie and still be suggested.
const int kMaxEdits = 2;

bool sameignoringcase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); i++) {
    if (tolower(static_cast<unsigned char>(a[i])) != tolower(static_cast<unsigned char>(b[i]))) {
      return false;
    }
  }
  return true;
}

// The one candidate at the least distance from `written` among those that
// `eligible` accepts and that lie within `limit` edits; "" for none or a tie.
template <typename Eligible>
std::string nearest(const std::string& written, const std::vector<std::string>& candidates,
                    int limit, Eligible eligible) {
  std::string best;
  int best_distance = limit + 1;
  bool tie = false;
  for (const std::string& c : candidates) {
    if (c == written || c == best || !eligible(c)) continue;
    const int d = editdistance(written, c);
    if (d < best_distance) {
      best = c;
      best_distance = d;
      tie = false;
    } else if (d == best_distance) {
      tie = true;
    }
  }
  return tie ? std::string() : best;
}

}  // namespace

int editdistance(const std::string& a, const std::string& b) {
  // d[i][j]: the distance between the first i characters of a and the first
  // j of b, kept as three rows.
  const size_t n = b.size();
  std::vector<int> before(n + 1), last(n + 1), row(n + 1);
  for (size_t j = 0; j <= n; j++) last[j] = static_cast<int>(j);
  for (size_t i = 1; i <= a.size(); i++) {
    row[0] = static_cast<int>(i);
    for (size_t j = 1; j <= n; j++) {
      const int replace = last[j - 1] + (a[i - 1] == b[j - 1] ? 0 : 1);
      row[j] = std::min({last[j] + 1, row[j - 1] + 1, replace});
      if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1]) {
        row[j] = std::min(row[j], before[j - 2] + 1);
      }
    }
    std::swap(before, last);
    std::swap(last, row);
  }
  return last[n];
}

std::string suggest(const std::string& written, const std::vector<std::string>& candidates) {
  if (written.empty()) return "";
  const auto any = [](const std::string&) { return true; };
  const auto casediffers = [&](const std::string& c) { return sameignoringcase(c, written); };
  bool caseonly = std::any_of(candidates.begin(), candidates.end(),
                              [&](const std::string& c) { return c != written && casediffers(c); });
  if (caseonly) return nearest(written, candidates, static_cast<int>(written.size()), casediffers);
  return nearest(written, candidates, kMaxEdits, any);
}
