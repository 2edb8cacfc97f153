#include "kivo/name.hpp"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "kivo/element.hpp"
#include "kivo/xml_utils.hpp"

namespace {

using kivo::Name;

// Stored names and names that own their spelling (too long to store) must behave alike: equal
// by spelling whichever way they were made, copied and moved without losing it.
TEST(Name, ComparesBySpellingWhetherStoredOrOwned) {
  const std::string long_spelling(300, 'n');
  for (const std::string& spelling : {std::string("Slice"), long_spelling}) {
    SCOPED_TRACE(spelling.substr(0, 8));
    Name made(spelling);
    Name copied = made;
    Name assigned;
    assigned = copied;
    Name moved = std::move(copied);
    for (const Name* name : {&made, &assigned, &moved}) {
      EXPECT_EQ(*name, Name(std::string_view(spelling)));
      EXPECT_EQ(*name, spelling);
      EXPECT_EQ(name->str(), spelling);
      EXPECT_NE(*name, Name(spelling + "x"));
      EXPECT_NE(*name, Name());
    }
    EXPECT_EQ(copied, Name());  // a moved-from name is the empty one
  }
  EXPECT_EQ(Name(""), Name());
  EXPECT_LT(Name("Mask"), Name("Slice"));
  EXPECT_EQ("<" + Name("Screen") + ">", "<Screen>");
}

// A hostile stream of invented names must not grow the store without bound; past its limit names
// own their spelling and still compare, copy and parse as before.
TEST(Name, NamesPastTheStoresLimitOwnTheirSpelling) {
  std::vector<Name> names;
  for (int i = 0; i < 70'000; ++i) names.emplace_back("invented_" + std::to_string(i));
  EXPECT_TRUE(names.front().stored());
  EXPECT_FALSE(names.back().stored());
  EXPECT_FALSE(Name(std::string(300, 'n')).stored());
  for (int i = 0; i < 70'000; i += 9'999) {
    EXPECT_EQ(names[i], "invented_" + std::to_string(i));
    EXPECT_EQ(Name(names[i]), names[i]);
  }
  auto tree = kivo::xml_utils::parse(R"(<invented_69999 a_new_name="1"/>)");
  ASSERT_TRUE(tree);
  EXPECT_EQ(tree->name, names.back());
  EXPECT_EQ(*tree->attr("a_new_name"), "1");
  EXPECT_EQ(*kivo::xml_utils::write_xml_string(*tree),
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<invented_69999 a_new_name=\"1\"/>");
}

// Threads that store the same new names at once must agree on them.
TEST(Name, ThreadsStoringTheSameNamesAgree) {
  constexpr int kThreads = 4;
  constexpr int kNames = 2'000;
  std::vector<std::vector<Name>> seen(kThreads);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&seen, t] {
      for (int i = 0; i < kNames; ++i) seen[t].emplace_back("shared_" + std::to_string(i));
    });
  }
  for (auto& thread : threads) thread.join();
  for (int t = 1; t < kThreads; ++t) EXPECT_EQ(seen[t], seen[0]);
}

}  // namespace
