// The text of an image as the assembler's own writers make it, for tests
// that compare what orvix writes with it.

#ifndef ORVIX_TESTS_IMAGE_TEXT_H_
#define ORVIX_TESTS_IMAGE_TEXT_H_

#include <string>
#include <utility>
#include <vector>

#include "orvix/image.h"

namespace orvix_test {

// The image the assembler's writer makes in `format` for the output path
// `path`, of the statements `words`: each its word and the statement its
// comment shows. The writer's bytes are pinned in image_test.cpp; the tests
// that run orvix check that the program writes exactly them.
inline std::string ImageText(const ImageFormat& format, const std::string& path,
                             const std::vector<std::pair<std::string, std::string>>& words) {
  Image image;
  image.path = path;
  for (const auto& w : words) {
    image.words.push_back(w.first);
    image.comments.push_back(w.second);
  }
  return format.text(image);
}

}  // namespace orvix_test

#endif  // ORVIX_TESTS_IMAGE_TEXT_H_
