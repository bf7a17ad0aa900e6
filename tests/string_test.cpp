#include "libcontainer/libcontainer.h"
#include "tests/test_files.h"

#include <string.h>  // The C library's header, not ours: the include rule.

#include <climits>
#include <cstddef>
#include <cstdlib>
#include <functional>
#include <new>
#include <string>

#include <gtest/gtest.h>

// Array allocations are counted so that a test can tell whether an operation
// kept its buffer: a release and a fresh allocation of the same size usually
// return the same address, so the pointer alone does not show it.
static int array_allocations = 0;

void* operator new[](std::size_t size) {
  array_allocations++;
  if (void* p = malloc(size != 0 ? size : 1)) return p;
  throw std::bad_alloc();
}
void operator delete[](void* p) noexcept { free(p); }
void operator delete[](void* p, std::size_t) noexcept { free(p); }

namespace {

// Number of array allocations `op` makes.
int ArrayAllocations(const std::function<void()>& op) {
  const int before = array_allocations;
  op();
  return array_allocations - before;
}

// The capacity is observable only through getWriteBuffer: a request that fits
// the capacity keeps the text, one byte more discards it (length -1). Each
// probe is destructive, so the string is built twice.
void ExpectCapacity(const std::function<String()>& make, int capacity) {
  String fits = make();
  int len = fits.length();
  fits.getWriteBuffer(capacity);
  EXPECT_EQ(fits.length(), len) << "capacity below " << capacity;
  String over = make();
  over.getWriteBuffer(capacity + 1);
  EXPECT_EQ(over.length(), -1) << "capacity above " << capacity;
}

TEST(StringTest, IncludeGivesBothStringHeaders) {
  // strlen from <string.h> and our String from the library side by side.
  EXPECT_EQ(strlen(String("abc").cStr()), 3u);
}

TEST(StringTest, ConstructorsFitExactly) {
  ExpectCapacity([] { return String(); }, 1);
  ExpectCapacity([] { return String(nullptr); }, 1);
  ExpectCapacity([] { return String("abc"); }, 4);
  ExpectCapacity(
      [] {
        String big("abc");
        big.getWriteBuffer(50);
        strcpy(big.getBuffer(), "xy");
        big.ungetBuffer();
        return String(big);  // Exact fit, whatever the source's capacity.
      },
      3);
  EXPECT_EQ(String(nullptr).length(), 0);
  EXPECT_STREQ(String().cStr(), "");
}

TEST(StringTest, AppendGrowthPolicy) {
  // One byte doubles; longer pieces fit exactly.
  ExpectCapacity(
      [] {
        String s("abc");
        s += 'd';
        return s;
      },
      10);
  ExpectCapacity(
      [] {
        String s("abc");
        s += String("d");
        return s;
      },
      10);
  ExpectCapacity(
      [] {
        String s("abc");
        s += String("de");
        return s;
      },
      6);
  // Appending into spare room does not reallocate.
  ExpectCapacity(
      [] {
        String s("abc");
        s += 'd';
        s += "efgh";
        return s;
      },
      10);
}

TEST(StringTest, AssignmentReusesTheBuffer) {
  auto wide = [] {
    String s;
    s.getWriteBuffer(19);
    s = "x";
    return s;
  };
  ExpectCapacity(wide, 20);
  ExpectCapacity(
      [&] {
        String s = wide();
        s = "hi";
        return s;
      },
      20);
  ExpectCapacity(
      [&] {
        String s = wide();
        s = String("hi");
        return s;
      },
      20);
  ExpectCapacity(
      [&] {
        String s = wide();
        s = static_cast<const char*>(nullptr);
        return s;
      },
      20);
  ExpectCapacity(
      [&] {
        String s = wide();
        s.truncate(0);
        return s;
      },
      20);
  ExpectCapacity(
      [] {
        String s("ab");
        s = "abcdef";
        return s;
      },
      7);
  ExpectCapacity(
      [] {
        String s;
        s = 'q';
        return s;
      },
      2);
  ExpectCapacity(
      [] {
        String s("abcd");
        s = 'q';
        return s;
      },
      5);

  String s("keep");
  s = static_cast<const char*>(nullptr);
  EXPECT_EQ(s.length(), 0);
  EXPECT_STREQ(s.cStr(), "");
  s = 'z';
  EXPECT_STREQ(s.cStr(), "z");
}

// A string of capacity `capacity` (at least 1) holding "".
String WithCapacity(int capacity) {
  String s(std::string(static_cast<size_t>(capacity - 1), 'x').c_str());
  s = "";
  return s;
}

// Assigning a text of length L needs L + 1 bytes: it reallocates to exactly
// that when the capacity is smaller, and keeps buffer and capacity otherwise.
// The lengths sit on both sides of the boundary, length == capacity - 1.
TEST(StringTest, AssignmentReallocatesOnlyWhenTheTextDoesNotFit) {
  if (orvix_test::UnderMemcheck()) GTEST_SKIP() << "valgrind replaces the counting operator new[]";
  for (int capacity : {1, 2, 5, 20}) {
    for (int len = capacity - 2; len <= capacity + 1; len++) {
      if (len < 0) continue;
      const std::string text(static_cast<size_t>(len), 'a');
      const bool grows = len + 1 > capacity;
      const int want_capacity = grows ? len + 1 : capacity;
      const String source(text.c_str());
      struct {
        const char* from;
        std::function<void(String&)> assign;
      } kinds[] = {
          {"String", [&](String& s) { s = source; }},
          {"char*", [&](String& s) { s = text.c_str(); }},
      };
      for (const auto& kind : kinds) {
        SCOPED_TRACE(testing::Message()
                     << kind.from << ", capacity " << capacity << ", length " << len);
        String s = WithCapacity(capacity);
        const char* old_buffer = s.cStr();
        const int allocations = ArrayAllocations([&] { kind.assign(s); });
        EXPECT_EQ(allocations, grows ? 1 : 0);
        if (!grows) {
          EXPECT_EQ(s.cStr(), old_buffer);
        }
        EXPECT_EQ(s.length(), len);
        EXPECT_EQ(text, s.cStr());
        ExpectCapacity(
            [&] {
              String t = WithCapacity(capacity);
              kind.assign(t);
              return t;
            },
            want_capacity);
      }
    }
  }
}

TEST(StringTest, SelfAppendAndSelfAssign) {
  String s("ab");
  s += s;
  EXPECT_STREQ(s.cStr(), "abab");
  EXPECT_EQ(s.length(), 4);
  s = s;
  EXPECT_STREQ(s.cStr(), "abab");
  s = s.cStr() + 2;  // Overlapping text from our own buffer.
  EXPECT_STREQ(s.cStr(), "ab");
  String one("x");
  one += one;
  EXPECT_STREQ(one.cStr(), "xx");
}

TEST(StringTest, ByteAppendsMatchStdString) {
  String s;
  std::string model;
  for (int i = 0; i < 5000; i++) {
    char ch = static_cast<char>('a' + i % 26);
    s += ch;
    model += ch;
  }
  EXPECT_EQ(s.length(), static_cast<int>(model.size()));
  EXPECT_EQ(model, s.cStr());
}

TEST(StringTest, Find) {
  String hello("hello");
  struct {
    const char* hay;
    const char* needle;
    int at;
  } cases[] = {
      {"hello", "", 0},   {"", "", 0},           {"hello", "l", 2},
      {"hello", "lo", 3}, {"hello", "hello", 0}, {"hello", "hellox", -1},
      {"hello", "x", -1}, {"aaab", "aab", 1},    {"abc", "abcd", -1},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(String(c.hay).find(String(c.needle)), c.at) << c.hay << " / " << c.needle;
  }
  EXPECT_EQ(hello.find('l'), 2);
  EXPECT_EQ(hello.find('x'), -1);
  EXPECT_EQ(String().find('x'), -1);
  EXPECT_EQ(hello.find('\0'), -1);
}

TEST(StringTest, ClampedSubstrings) {
  String s("hello");
  struct {
    int pos, len;
    const char* want;
  } subs[] = {
      {-3, 2, "he"},
      {3, -1, "lo"},
      {1, 100, "ello"},
      {1, 0, ""},
      {5, 1, ""},
      {0, 5, "hello"},
      {4, 1, "o"},
      {-1, -1, "hello"},
      // Lengths near the int range clamp instead of overflowing.
      {2, INT_MAX, "llo"},
      {4, INT_MAX - 2, "o"},
      {INT_MAX, 1, ""},
  };
  for (const auto& c : subs) {
    EXPECT_STREQ(s.subStr(c.pos, c.len).cStr(), c.want) << c.pos << "," << c.len;
  }
  ExpectCapacity([] { return String("hello").subStr(1, 3); }, 4);

  String abc("abc");
  EXPECT_STREQ(s.left(-1).cStr(), "hello");
  EXPECT_STREQ(s.left(2).cStr(), "he");
  EXPECT_STREQ(abc.right(0).cStr(), "");
  EXPECT_STREQ(abc.right(-2).cStr(), "");
  EXPECT_STREQ(abc.right(INT_MIN).cStr(), "");
  EXPECT_STREQ(abc.right(10).cStr(), "abc");
  EXPECT_STREQ(abc.right(2).cStr(), "bc");
  EXPECT_STREQ(abc.right(3).cStr(), "abc");
}

TEST(StringTest, Truncate) {
  String s("hello");
  s.truncate(-1);
  s.truncate(s.length());
  s.truncate(99);
  EXPECT_STREQ(s.cStr(), "hello");
  s.truncate(2);
  EXPECT_STREQ(s.cStr(), "he");
  EXPECT_EQ(s.length(), 2);
  ExpectCapacity(
      [] {
        String t("hello");
        t.truncate(0);
        return t;
      },
      6);

  // Every length from 0 up cuts; the buffer stays.
  for (int len = 0; len <= 5; len++) {
    String t("hello");
    const char* buffer = t.cStr();
    t.truncate(len);
    EXPECT_EQ(t.length(), len);
    EXPECT_EQ(std::string("hello", static_cast<size_t>(len)), t.cStr());
    EXPECT_EQ(t.cStr(), buffer);
  }
}

TEST(StringTest, CaseMapping) {
  String s("MiXed 1-z!");
  s.toUpper();
  EXPECT_STREQ(s.cStr(), "MIXED 1-Z!");
  s.toLower();
  EXPECT_STREQ(s.cStr(), "mixed 1-z!");
  String high("\xC9t\xE9");
  high.toUpper();
  EXPECT_STREQ(high.cStr(), "\xC9T\xE9");  // Only ASCII letters change.
}

TEST(StringTest, Comparisons) {
  struct {
    const char* a;
    const char* b;
    int order;
  } cases[] = {
      {"ab", "abc", -1}, {"B", "a", -1}, {"abc", "abc", 0},
      {"", "a", -1},     {"b", "a", 1},  {"\x80", "a", 1},  // Bytes compare as unsigned.
  };
  for (const auto& c : cases) {
    String a(c.a), b(c.b);
    EXPECT_EQ(a == b, c.order == 0) << c.a << " ? " << c.b;
    EXPECT_EQ(a != b, c.order != 0);
    EXPECT_EQ(a < b, c.order < 0);
    EXPECT_EQ(a > b, c.order > 0);
    EXPECT_EQ(a <= b, c.order <= 0);
    EXPECT_EQ(a >= b, c.order >= 0);
  }
  // Only bytes up to the first NUL take part, whatever the lengths.
  String x("abXtail"), y("abYother");
  x[2] = '\0';
  y[2] = '\0';
  EXPECT_TRUE(x == y);
  EXPECT_FALSE(x < y);
  EXPECT_EQ(x.length(), 7);
}

TEST(StringTest, Concatenation) {
  EXPECT_STREQ((String("ab") + String("cd")).cStr(), "abcd");
  EXPECT_STREQ(('x' + String("yz")).cStr(), "xyz");
  EXPECT_STREQ((String("xy") + 'z').cStr(), "xyz");
  EXPECT_STREQ((String() + String()).cStr(), "");
}

TEST(StringTest, PrintfCutsAt2047Bytes) {
  String s("old");
  EXPECT_TRUE(s.printf("%d-%s", 42, "x"));
  EXPECT_STREQ(s.cStr(), "42-x");
  std::string long_text(3000, 'q');
  EXPECT_TRUE(s.printf("%s", long_text.c_str()));
  EXPECT_EQ(s.length(), 2047);
  EXPECT_EQ(std::string(s.cStr()), long_text.substr(0, 2047));
}

TEST(StringTest, IntegerConversions) {
  struct {
    const char* text;
    int base;
    long value;
    bool ok;
  } cases[] = {
      {"12abc", 10, 12, true},
      {"abc", 10, 0, false},
      {"", 10, 0, false},
      {"0", 10, 0, true},
      {" 7", 10, 7, true},
      {"-3", 10, -3, true},
      {"1-2", 10, 1, true},
      {"-", 10, 0, false},
      {"0x1F", 0, 31, true},
      {"017", 0, 15, true},
      {"ff", 16, 255, true},
      {"z", 36, 35, true},
      {"101", 2, 5, true},
      {"0x10", 10, 0, true},
      {"2147483647", 10, 2147483647L, true},
      {"2147483648", 10, 2147483647L, true},
      {"99999999999999999999", 10, 2147483647L, true},
      {"-2147483648", 10, -2147483647L - 1, true},
      {"-2147483649", 10, -2147483647L - 1, true},
      {"-99999999999999999999", 10, -2147483647L - 1, true},
  };
  for (const auto& c : cases) {
    bool ok = !c.ok;
    EXPECT_EQ(String(c.text).toLong(&ok, c.base), c.value) << c.text;
    EXPECT_EQ(ok, c.ok) << c.text;
  }
  bool ok = false;
  EXPECT_EQ(String("3000000000").toInt(&ok), 2147483647);
  EXPECT_TRUE(ok);
  EXPECT_EQ(String("-42x").toInt(nullptr), -42);
}

TEST(StringTest, UnsignedAndDoubleConversions) {
  bool ok = false;
  EXPECT_EQ(String("-1").toUnsignedInt(&ok, 10), 4294967295u);
  EXPECT_TRUE(ok);
  EXPECT_EQ(String("3000000000").toUnsignedInt(&ok, 10), 2147483647u);
  EXPECT_EQ(String("-2147483648").toUnsignedInt(&ok, 10), 2147483648u);
  EXPECT_EQ(String("zz").toUnsignedInt(&ok, 10), 0u);
  EXPECT_FALSE(ok);

  EXPECT_DOUBLE_EQ(String("2.5e1xyz").toDouble(&ok), 25.0);
  EXPECT_TRUE(ok);
  EXPECT_DOUBLE_EQ(String("0.0").toDouble(&ok), 0.0);
  EXPECT_TRUE(ok);
  EXPECT_DOUBLE_EQ(String("x").toDouble(&ok), 0.0);
  EXPECT_FALSE(ok);
}

TEST(StringTest, WriteBuffer) {
  String s;
  s.getWriteBuffer(7);
  s = "abc";  // Capacity 8 now, text "abc".
  s.getWriteBuffer(8);
  EXPECT_EQ(s.length(), 3);  // Fits: text and length stay.
  EXPECT_STREQ(s.cStr(), "abc");
  char* buf = s.getWriteBuffer(100);
  EXPECT_EQ(s.length(), -1);
  strcpy(buf, "written");
  s.ungetBuffer();
  EXPECT_EQ(s.length(), 7);
  EXPECT_STREQ(s.cStr(), "written");
  EXPECT_EQ(s.getWriteBuffer(5), s.getBuffer());
  EXPECT_EQ(s.length(), 7);
  ExpectCapacity(
      [] {
        String t("abc");
        t.getWriteBuffer(100);
        t = "x";
        return t;
      },
      101);

  // In-place writes through getBuffer need ungetBuffer to fix the length.
  s.getBuffer()[3] = '\0';
  s.ungetBuffer();
  EXPECT_STREQ(s.cStr(), "wri");
  EXPECT_EQ(s.length(), 3);
}

TEST(StringTest, Indexing) {
  String s("abc");
  const String& cs = s;
  EXPECT_EQ(cs[0], 'a');
  EXPECT_EQ(cs[2], 'c');
  s[1] = 'X';
  EXPECT_STREQ(s.cStr(), "aXc");
}

TEST(StringDeathTest, IndexOutsideTextStops) {
  if (orvix_test::UnderMemcheck())
    GTEST_SKIP() << "a death test forks, which valgrind cannot follow";
  String s("abc");
  const String& cs = s;
  EXPECT_DEATH(s[-1], "i >= 0 && i < c_len");
  EXPECT_DEATH(s[3], "i >= 0 && i < c_len");
  EXPECT_DEATH(cs[3], "i >= 0 && i < c_len");
  EXPECT_DEATH(String()[0], "i >= 0 && i < c_len");
}

}  // namespace
