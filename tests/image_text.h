// The text of an image as the assembler's own writers make it, for tests
// that compare what orvix writes with it, and the words a source assembles
// to, for tests that read images back.

#ifndef ORVIX_TESTS_IMAGE_TEXT_H_
#define ORVIX_TESTS_IMAGE_TEXT_H_

#include <cstdlib>
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

// The 32 words `source` assembles to (zero words after the program), or
// none when it does not assemble.
inline std::vector<int> AssembledWords(const std::string& source) {
  AssemblyOptions options;
  options.source = "q.asm";
  const Assembly a = assemble(source, options);
  if (!a.assembled()) return {};
  std::vector<int> words(kMemoryWords, 0);
  for (int i = 0; i < a.encoded(); i++) {
    words[i] = static_cast<int>(strtol(a.statements[i].word.cStr(), nullptr, 2));
  }
  return words;
}

}  // namespace orvix_test

#endif  // ORVIX_TESTS_IMAGE_TEXT_H_
