#include "base/Error.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

// Each layer passes the error up with its own step in front; the first cause stays last.
base::Error readTable() {
    return base::Error("the table ends after 2 of 3 entries", 28);
}
base::Error readPackage() {
    return readTable().within("reading entry table");
}
base::Error update() {
    return readPackage().within("package");
}

}  // namespace

TEST(Error, PrefixesComposeFromTheOutermostStepToTheCauseAndKeepTheCode) {
    const base::Error error = update();
    ASSERT_TRUE(error);
    EXPECT_EQ(error.message(), "package: reading entry table: the table ends after 2 of 3 entries");
    EXPECT_EQ(error.code(), 28);

    const base::Error kept = error;
    EXPECT_EQ(kept.within("download").message(), "download: " + error.message());
    EXPECT_EQ(kept.message(), error.message()) << "within() on a copy leaves the copy as it was";
}

TEST(Error, NoErrorStaysNoErrorThroughEveryLayer) {
    const base::Error none = base::Error().within("download").within("update");
    EXPECT_FALSE(none);
    EXPECT_TRUE(none.message().empty());
    EXPECT_EQ(none.code(), 0);
    // A failure without words is still a failure.
    EXPECT_TRUE(base::Error(""));
}

TEST(Error, AResultHoldsTheValueOrTheErrorThatKeptItFromBeingMade) {
    const base::Result<std::unique_ptr<int>> made = std::make_unique<int>(7);
    ASSERT_TRUE(made.ok());
    EXPECT_EQ(*made.value(), 7);
    EXPECT_FALSE(made.error());

    const base::Result<std::unique_ptr<int>> failed = base::Error("no bus", 2).within("system bus");
    EXPECT_FALSE(failed.ok());
    EXPECT_EQ(failed.error().message(), "system bus: no bus");
    EXPECT_EQ(failed.error().code(), 2);
}
