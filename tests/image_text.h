// The text of an image as the assembler's own writers make it, for tests
// that compare what orvix writes with it.

#ifndef ORVIX_TESTS_IMAGE_TEXT_H_
#define ORVIX_TESTS_IMAGE_TEXT_H_

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "libcontainer/libcontainer.h"
#include "orvix/image.h"

namespace orvix_test {

// The image the assembler's writer makes in `format` for the output path
// `path`, of the statements `words`: each its word and the statement its
// comment shows. The writer's bytes are pinned in image_test.cpp; the tests
// that run orvix check that the program writes exactly them.
inline std::string ImageText(const ImageFormat& format, const std::string& path,
                             const std::vector<std::pair<std::string, std::string>>& words) {
  std::vector<String> bits, comments;
  for (const auto& w : words) {
    bits.push_back(w.first.c_str());
    comments.push_back(w.second.c_str());
  }
  const Image image = {path.c_str(), bits.data(), comments.data(), static_cast<int>(words.size())};
  FILE* fp = tmpfile();
  if (fp == nullptr) return "tmpfile failed";
  format.write(fp, image);
  std::string text(static_cast<size_t>(ftell(fp)), '\0');
  rewind(fp);
  text.resize(fread(&text[0], 1, text.size(), fp));
  fclose(fp);
  return text;
}

}  // namespace orvix_test

#endif  // ORVIX_TESTS_IMAGE_TEXT_H_
