#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "libcontainer/libcontainer.h"
#include "tests/test_files.h"

namespace {

std::vector<std::string> entries(const StringArray& array) {
  std::vector<std::string> out;
  for (int i = 0; i < array.length(); i++) out.push_back(array[i].cStr());
  return out;
}

using Texts = std::vector<std::string>;

TEST(StringArray, GrowsByTwoSlots) {
  struct Case {
    int initial;
    std::vector<int> capacity_after_each_append;
  };
  const Case cases[] = {
      {0, {2, 2, 4, 4, 6}},
      {-3, {2, 2, 4}},
      {1, {1, 3, 3, 5}},
      {5, {5, 5, 5, 5, 5, 7, 7, 9}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.initial);
    StringArray array(c.initial);
    EXPECT_EQ(array.length(), 0);
    EXPECT_EQ(array.capacity(), c.initial > 0 ? c.initial : 0);
    for (size_t i = 0; i < c.capacity_after_each_append.size(); i++) {
      array.append(String(std::to_string(i).c_str()));
      EXPECT_EQ(array.capacity(), c.capacity_after_each_append[i]) << i;
      EXPECT_EQ(array.length(), static_cast<int>(i + 1));
    }
    for (int i = 0; i < array.length(); i++) {
      EXPECT_STREQ(array[i].cStr(), std::to_string(i).c_str());
    }
  }
}

TEST(StringArray, InsertIntoANewEmptyArray) {
  StringArray fresh(0);
  fresh.insert("only", 0);  // capacity 0 still accepts index 0
  EXPECT_EQ(entries(fresh), (Texts{"only"}));
}

TEST(StringArray, AddsItsOwnEntries) {
  // Growing releases the old slots and shifting overwrites them: an entry
  // passed back in must still arrive with its own text.
  StringArray array = StringArray::make(2, "first", "second");
  ASSERT_EQ(array.capacity(), array.length());
  array.append(array[0]);
  EXPECT_EQ(entries(array), (Texts{"first", "second", "first"}));
  array.insert(array[1], 0);
  EXPECT_EQ(entries(array), (Texts{"second", "first", "second", "first"}));
  array.prepend(array[3]);
  EXPECT_EQ(entries(array), (Texts{"first", "second", "first", "second", "first"}));
}

TEST(StringArray, AssignmentAndCopy) {
  StringArray source = StringArray::make(3, "a", "b", "c");
  StringArray target(10);
  target.append("old");
  target = source;
  EXPECT_EQ(target.capacity(), 3);
  EXPECT_EQ(entries(target), (Texts{"a", "b", "c"}));
  target[0] = "changed";
  EXPECT_STREQ(source[0].cStr(), "a");

  StringArray& same = target;
  target = same;
  EXPECT_EQ(entries(target), (Texts{"changed", "b", "c"}));
  EXPECT_EQ(target.capacity(), 3);

  target = StringArray(6);
  EXPECT_EQ(target.length(), 0);
  EXPECT_EQ(target.capacity(), 0);

  StringArray copy(source);  // deep, capacity = length
  copy[1] = "x";
  copy.append("d");
  EXPECT_EQ(entries(source), (Texts{"a", "b", "c"}));
  EXPECT_EQ(entries(copy), (Texts{"a", "x", "c", "d"}));
}

TEST(StringArray, Make) {
  StringArray abc = StringArray::make(3, "a", "b", "c");
  EXPECT_EQ(abc.length(), 3);
  EXPECT_EQ(abc.capacity(), 4);
  EXPECT_EQ(entries(abc), (Texts{"a", "b", "c"}));

  StringArray none = StringArray::make(0);
  EXPECT_EQ(none.length(), 0);
  EXPECT_EQ(none.capacity(), 0);

  StringArray with_null = StringArray::make(2, static_cast<const char*>(nullptr), "x");
  EXPECT_EQ(entries(with_null), (Texts{"", "x"}));
}

TEST(StringArrayDeathTest, IndexChecks) {
  if (orvix_test::UnderMemcheck())
    GTEST_SKIP() << "a death test forks, which valgrind cannot follow";
  StringArray array = StringArray::make(2, "a", "b");
  const StringArray& constant = array;
  EXPECT_DEATH(array[2], "i >= 0 && i < n_strings");
  EXPECT_DEATH(array[-1], "i >= 0 && i < n_strings");
  EXPECT_DEATH(constant[2], "i >= 0 && i < n_strings");
  EXPECT_DEATH(array.remove(2), "index >= 0 && index < n_strings");
  EXPECT_DEATH(array.remove(-1), "index >= 0 && index < n_strings");
  EXPECT_DEATH(array.insert("x", 3), "index >= 0 && index <= n_strings");
  EXPECT_DEATH(array.insert("x", -1), "index >= 0 && index <= n_strings");
  // Slots beyond the count hold leftovers; they are not reachable.
  array.clear();
  EXPECT_DEATH(array[0], "i >= 0 && i < n_strings");
  StringArray roomy(8);
  EXPECT_DEATH(roomy.insert("x", 4), "index >= 0 && index <= n_strings");
}

// Every editing operation against a std::vector, with the capacity the
// array must have: two more slots whenever an addition finds it full, kept by
// removals and clear, exact after a copy. Duplicate and empty words keep
// find and remove honest about the first occurrence.
TEST(StringArray, MatchesVectorModel) {
  std::mt19937 rng(12345);
  const char* words[] = {"", "a", "b", "ab", "lorem", "ipsum", "; x", "a"};
  StringArray array;
  std::vector<std::string> model;
  int model_capacity = 0;
  auto grow = [&] {
    if (model_capacity < static_cast<int>(model.size()) + 1) model_capacity += 2;
  };
  for (int step = 0; step < 40000; step++) {
    const char* word = words[rng() % 8];
    int size = static_cast<int>(model.size());
    switch (rng() % 9) {
      case 0:
      case 1:
        grow();
        array.append(word);
        model.push_back(word);
        break;
      case 2: {
        grow();
        int index = static_cast<int>(rng() % (size + 1));
        array.insert(word, index);
        model.insert(model.begin() + index, word);
        break;
      }
      case 3:
        grow();
        array.prepend(word);
        model.insert(model.begin(), word);
        break;
      case 4:
        if (size > 0) {
          int index = static_cast<int>(rng() % size);
          array.remove(index);
          model.erase(model.begin() + index);
        }
        break;
      case 5: {
        array.remove(String(word));
        auto it = std::find(model.begin(), model.end(), word);
        if (it != model.end()) model.erase(it);
        break;
      }
      case 6: {
        auto it = std::find(model.begin(), model.end(), word);
        int expected = it == model.end() ? -1 : static_cast<int>(it - model.begin());
        ASSERT_EQ(array.find(word), expected);
        break;
      }
      case 7: {
        int size_wanted = static_cast<int>(rng() % 12);
        array.preAlloc(size_wanted);
        if (size_wanted > model_capacity) model_capacity = size_wanted;
        break;
      }
      case 8:
        if (rng() % 8 == 0) {
          array.clear();
          model.clear();
        } else if (rng() % 2 == 0) {
          StringArray copy;
          copy = array;
          array = copy;
          model_capacity = size;
        }
        break;
    }
    if (model.size() > 30) {
      array.clear();
      model.clear();
    }
    ASSERT_EQ(array.length(), static_cast<int>(model.size())) << step;
    ASSERT_EQ(array.capacity(), model_capacity) << step;
    if (step % 20 == 0) {
      ASSERT_EQ(entries(array), model) << step;
    }
  }
}

TEST(Vector, ResizeAlwaysReallocates) {
  Vector<String> v;
  EXPECT_EQ(v.length(), 0);
  EXPECT_EQ(v.data(), nullptr);
  EXPECT_TRUE(v.resize(4, false));
  for (int i = 0; i < 4; i++) v[i] = std::to_string(i).c_str();

  const String* before = v.data();
  EXPECT_TRUE(v.resize(4, true));
  EXPECT_NE(v.data(), before);
  EXPECT_STREQ(v[3].cStr(), "3");

  v.resize(2, true);
  EXPECT_EQ(v.length(), 2);
  EXPECT_STREQ(v[0].cStr(), "0");
  EXPECT_STREQ(v[1].cStr(), "1");

  v.resize(4, false);
  EXPECT_EQ(v.length(), 4);
  for (int i = 0; i < 4; i++) EXPECT_EQ(v[i].length(), 0);

  v[0] = "kept";
  v.resize(6, true);
  EXPECT_STREQ(v[0].cStr(), "kept");
  EXPECT_EQ(v[5].length(), 0);
}

TEST(Vector, ConstructionAndCopies) {
  Vector<String> empty(0);
  EXPECT_EQ(empty.size(), 0);
  EXPECT_EQ(empty.data(), nullptr);

  Vector<String> filled(3, String("x"));
  Vector<String> copy(filled);
  copy[1] = "y";
  EXPECT_STREQ(filled.at(1).cStr(), "x");
  Vector<String> assigned(7);
  assigned = copy;
  copy[2] = "z";
  EXPECT_EQ(assigned.size(), 3);
  EXPECT_STREQ(assigned[1].cStr(), "y");
  EXPECT_STREQ(assigned[2].cStr(), "x");
  assigned = empty;
  EXPECT_EQ(assigned.length(), 0);
}

TEST(VectorDeathTest, IndexChecks) {
  if (orvix_test::UnderMemcheck())
    GTEST_SKIP() << "a death test forks, which valgrind cannot follow";
  Vector<String> v(2);
  const Vector<String>& constant = v;
  EXPECT_DEATH(v[2], "i >= 0 && i < t_size");
  EXPECT_DEATH(v[-1], "i >= 0 && i < t_size");
  EXPECT_DEATH(constant[2], "i >= 0 && i < t_size");
  EXPECT_DEATH(v.at(2), "i >= 0 && i < t_size");
  EXPECT_DEATH(constant.at(-1), "i >= 0 && i < t_size");
  Vector<String> none;
  EXPECT_DEATH(none[0], "i >= 0 && i < t_size");
}

}  // namespace
