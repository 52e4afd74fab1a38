// Pictures prepared on several threads come back in their order, bad ones with their reason,
// and taking can stop part way.
#include <gtest/gtest.h>

#include <filesystem>

#include "photos/batch.h"
#include "tests/photos/photo_files.h"
#include "tests/support/test_files.h"

namespace qm::photos {
namespace {

TEST(Batch, OutcomesComeInOrderAndTakingCanStop) {
  const std::string dir = test::TempPath("batch");
  std::filesystem::create_directories(dir);
  std::vector<std::string> paths;
  for (int k = 0; k < 12; ++k) {
    paths.push_back(dir + "/" + std::to_string(k) + ".jpg");
    // Every third is broken; the sizes differ so that each outcome can be told apart.
    test::WriteFile(paths.back(),
                    k % 3 == 2 ? test::Bytes{'x'} : test::Jpeg(test::Photo(40 + 8 * k, 30)));
  }
  PrepareOptions options;
  options.fit = Size{60, 60};
  for (const int stop_at : {12, 5}) {
    std::vector<std::size_t> order;
    PrepareInOrder(paths, options, 3, [&](std::size_t k, Outcome&& o) {
      order.push_back(k);
      EXPECT_EQ(o.ok, k % 3 != 2) << k << ": " << o.error;
      if (o.ok) {
        EXPECT_EQ(o.prepared.size.width, std::min(60, 40 + 8 * static_cast<int>(k)));
      }
      return static_cast<int>(k) + 1 < stop_at;
    });
    ASSERT_EQ(order.size(), static_cast<std::size_t>(stop_at));
    for (std::size_t k = 0; k < order.size(); ++k) EXPECT_EQ(order[k], k);
  }
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace qm::photos
