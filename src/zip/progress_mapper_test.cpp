#include "zip/progress_mapper.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kalvex {
namespace {

// Records the mapper's events as "begin 0", "bytes 0 25".
struct Recorder {
  std::vector<std::string> events;
  ProgressMapper Make(std::vector<ProgressMapper::Item> items, int64_t entries) {
    return ProgressMapper(
        std::move(items), entries,
        [this](size_t item) { events.push_back("begin " + std::to_string(item)); },
        [this](size_t item, int64_t bytes) {
          events.push_back("bytes " + std::to_string(item) + " " + std::to_string(bytes));
        });
  }
};

TEST(ProgressMapperTest, EveryEntryTakesAnEqualShareOfTheFraction) {
  Recorder r;
  ProgressMapper mapper = r.Make({{0, 100}, {1, 1000}}, 2);
  mapper.Update(0.0);
  EXPECT_EQ(r.events, (std::vector<std::string>{"begin 0"}));
  mapper.Update(0.25);   // half of the first entry
  mapper.Update(0.5);    // first done, second begins
  mapper.Update(0.625);  // a quarter of the second
  mapper.Update(1.0);
  EXPECT_EQ(r.events, (std::vector<std::string>{"begin 0", "bytes 0 50", "bytes 0 50", "begin 1",
                                                "bytes 1 250", "bytes 1 750"}));
  mapper.Finish();  // nothing left to report
  EXPECT_EQ(r.events.size(), 6u);
}

TEST(ProgressMapperTest, EntriesCopiedUnchangedRaiseNothing) {
  Recorder r;
  // Entries 0 and 1 were in the archive already; the batch file is entry 2 of 4 and
  // entry 3 is a folder entry.
  ProgressMapper mapper = r.Make({{2, 80}}, 4);
  mapper.Update(0.0);
  mapper.Update(0.45);
  EXPECT_TRUE(r.events.empty());
  mapper.Update(0.5);
  EXPECT_EQ(r.events, (std::vector<std::string>{"begin 0"}));
  mapper.Update(0.625);
  mapper.Update(0.8);  // in entry 3: the file is complete
  EXPECT_EQ(r.events, (std::vector<std::string>{"begin 0", "bytes 0 40", "bytes 0 40"}));
}

TEST(ProgressMapperTest, FinishCompletesWhatTheReportsSkipped) {
  Recorder r;
  ProgressMapper mapper = r.Make({{0, 10}, {1, 0}, {2, 30}}, 3);
  mapper.Update(0.1);
  mapper.Finish();
  EXPECT_EQ(r.events, (std::vector<std::string>{"begin 0", "bytes 0 3", "bytes 0 7", "begin 1",
                                                "begin 2", "bytes 2 30"}));
}

TEST(ProgressMapperTest, FractionsGoingBackOrOutOfRangeChangeNothing) {
  Recorder r;
  ProgressMapper mapper = r.Make({{0, 100}}, 1);
  mapper.Update(0.5);
  mapper.Update(0.2);
  mapper.Update(-1.0);
  EXPECT_EQ(r.events, (std::vector<std::string>{"begin 0", "bytes 0 50"}));
  mapper.Update(7.0);
  EXPECT_EQ(r.events, (std::vector<std::string>{"begin 0", "bytes 0 50", "bytes 0 50"}));
}

}  // namespace
}  // namespace kalvex
