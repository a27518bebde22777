// SPDX-License-Identifier: Apache-2.0
#include "symbologies/code128.h"

#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "support/builders.h"
#include "support/code128Encoder.h"
#include "support/twoOfFiveEncoder.h"

namespace strixa {

namespace {

constexpr int startA = 103, startB = 104, startC = 105, stop = 106;

// Symbols exactly as listed, with no check character added.
std::string Join(const std::vector<int>& values) {
  std::string modules;
  for (int value : values) {
    modules += Code128Modules(value);
  }
  return modules;
}

// Two pixels per module of a start and the values first to last, check character and stop added.
std::string Sequence(int start, int first, int last) {
  std::vector<int> values = {start};
  for (int value = first; value <= last; ++value) {
    values.push_back(value);
  }
  return Widen(EncodeCode128(values), 2);
}

struct DecodeCase {
  std::string_view name;
  std::string pixels;
  std::string_view expected;  // "" = must not read
};

TEST(Code128Test, DecodesTableCases) {
  const std::string ab = Widen(EncodeCode128({startB, 33, 34}), 2);
  // The reverse stop (widths 211133) is no symbol value; the check of {B, 33, 34} is 102.
  const std::string unreadable = "11010111000";
  const DecodeCase cases[] = {
      {"EAN-128 after Start C", Widen(EncodeCode128({startC, 102, 1, 23, 45}), 2),
       "<EAN128>012345"},
      {"set B then Code C", Widen(EncodeCode128({startB, 33, 99, 12}), 2), "A12"},
      {"FNC1 after Start A", Widen(EncodeCode128({startA, 102, 33}), 2), "<FNC1>A"},
      {"FNC1 after Start B", Widen(EncodeCode128({startB, 102, 65}), 3), "<FNC1>a"},
      {"later FNC1 kept", Widen(EncodeCode128({startC, 102, 1, 102, 23}), 2), "<EAN128>01<FNC1>23"},
      // 104 + 33 + 2 * 84 = 305, and 305 modulo 103 is 99, Code C in set B.
      {"check reads as code change", Widen(EncodeCode128({startB, 33, 84}), 2), "At"},
      {"set A", Sequence(startA, 0, 98),
       " !\"#$%&'()*+,-./0123456789:;<=>?@ABCDEFGHIJKLMNOPQRSTUVWXYZ[\\]^_<NUL><SOH><STX><ETX>"
       "<EOT><ENQ><ACK><BEL><BS><HT><LF><VT><FF><CR><SO><SI><DLE><DC1><DC2><DC3><DC4><NAK><SYN>"
       "<ETB><CAN><EM><SUB><ESC><FS><GS><RS><US><FNC3><FNC2><SHIFT>"},
      {"set B", Sequence(startB, 0, 98),
       " !\"#$%&'()*+,-./"
       "0123456789:;<=>?@ABCDEFGHIJKLMNOPQRSTUVWXYZ[\\]^_`abcdefghijklmnopqrstuvwxyz"
       "{|}~<DEL><FNC3><FNC2><SHIFT>"},
      {"set C", Sequence(startC, 0, 99),
       "0001020304050607080910111213141516171819202122232425262728293031323334353637383940414243"
       "4445464748495051525354555657585960616263646566676869707172737475767778798081828384858687"
       "888990919293949596979899"},
      // Each change into each other set: A to C, C to A, A to B, B to C, C to B.
      {"every code-set change",
       Widen(EncodeCode128({startA, 33, 99, 12, 101, 65, 100, 65, 99, 34, 100, 34}), 2),
       "A12<SOH>a34B"},
      {"SHIFT does not latch", Widen(EncodeCode128({startC, 12, 100, 98, 65, 101, 65, 100}), 2),
       "12<SHIFT>a<SOH>"},
      {"FNC4 in sets A and B", Widen(EncodeCode128({startA, 101, 98, 100, 100}), 2),
       "<FNC4><SHIFT><FNC4>"},
      {"stop with one pixel of its bar", ab.substr(0, ab.size() - 1), "AB"},
      {"bars right after the stop", ab + "0011011", ""},
      {"bars after a quiet zone", ab + std::string(10, '0') + "11", "AB"},
      {"noise just short of a quiet zone", ab + std::string(9, '0') + "11", ""},
      {"21 pixels", ab.substr(0, 21), ""},
      {"one pixel per module", EncodeCode128({startB, 33, 34}), ""},
      {"reversed line", std::string(ab.rbegin(), ab.rend()), ""},
      {"start, check and stop", Widen(EncodeCode128({startB}), 2), ""},
      {"start, wrong check and stop", Widen(Join({startB, 5, stop}), 2), ""},
      {"stop without its final bar", ab.substr(0, ab.size() - 6), ""},
      {"line ends before the stop", Widen(Join({startB, 33, 34, 102}) + "11", 2), ""},
      {"wrong check character", Widen(Join({startB, 33, 35, stop}), 2), ""},
      // Read as if the first symbol were Start B, 34 would check: 104 + 34 = 138, modulo 103 35.
      {"no start character", Widen(Join({33, 34, 35, stop}), 2), ""},
      {"start after the first symbol", Widen(Join({33}) + EncodeCode128({startB, 33, 34}), 2), ""},
      {"unreadable symbol, check passes",
       Widen(Join({startB, 33}) + unreadable + Join({34, 102, stop}), 2), ""},
      // Start B, 'e' (69), check 70 and stop at 3 pixels a module, as noise left them: the votes
      // spell 'M' (45) and check 46, which agree, but their like-edge widths are 69's and 70's.
      {"votes against the like edges",
       AlternatingRuns(
           {{6, 3, 3, 6, 3, 12}, {3, 3, 7, 5, 4, 11}, {3, 4, 6, 12, 3, 5}, {7, 9, 9, 3, 3, 3, 6}}),
       ""},
      {"a bar a pixel thin",
       AlternatingRuns(
           {{6, 3, 3, 6, 3, 12}, {2, 4, 6, 6, 3, 12}, {3, 3, 6, 12, 3, 6}, {6, 9, 9, 3, 3, 3, 6}}),
       "e"},
  };
  for (const DecodeCase& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(DecodeCode128(c.pixels), c.expected);
  }
}

}  // namespace

}  // namespace strixa
