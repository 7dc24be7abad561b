// The item list: values by key, insertion order, and emptying and filling from several threads
// while readers copy it (run under ThreadSanitizer as well).

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "ui/SItem.h"
#include "ui/SItemList.h"

namespace {

SItem Device(const std::string& name, const std::string& key) {
    SItem item;
    item.SetValue("BluetoothName", name);
    item.SetValue("BluetoothKey", key);
    return item;
}

TEST(ItemListTest, ItemsKeepValuesByKeyAndTheListKeepsInsertionOrder) {
    SItem item = Device("Auralis2", "1");
    EXPECT_EQ(item.GetValue("BluetoothName"), "Auralis2");
    EXPECT_EQ(item.GetValue("Missing"), "");
    EXPECT_FALSE(item.HasValue("Missing"));
    item.SetValue("BluetoothName", "Auralis+");
    EXPECT_EQ(item.GetValue("BluetoothName"), "Auralis+");

    SItemList list;
    list.Add(Device("b", "20"));
    list.Add(Device("a", "10"));
    list.Add(Device("c", "30"));
    const std::vector<SItem> copy = list.Snapshot();
    ASSERT_EQ(copy.size(), 3u);
    EXPECT_EQ(copy[0].GetValue("BluetoothKey"), "20");
    EXPECT_EQ(copy[2].GetValue("BluetoothKey"), "30");
    ASSERT_TRUE(list.Find("BluetoothKey", "10").has_value());
    EXPECT_EQ(list.Find("BluetoothKey", "10")->GetValue("BluetoothName"), "a");
    EXPECT_FALSE(list.Find("BluetoothKey", "99").has_value());

    // A copy does not follow later changes.
    list.Clear();
    EXPECT_EQ(list.Count(), 0u);
    EXPECT_EQ(copy.size(), 3u);
}

// A writer that refills the list under its lock (or with Assign) never lets a reader see it
// half filled: every snapshot holds zero items or one whole generation, in order.
TEST(ItemListTest, ReadersNeverSeeAHalfFilledListWhileWritersRefillIt) {
    SItemList list;
    constexpr int kItems = 6;
    constexpr int kRounds = 400;
    std::atomic<bool> done{false};
    std::atomic<int> badSnapshots{0};

    auto fillLocked = [&list](int generation) {
        auto guard = list.Lock();
        list.ClearLocked(guard);
        for (int i = 0; i < kItems; ++i) {
            list.AddLocked(guard, Device("g" + std::to_string(generation), std::to_string(i)));
        }
    };
    auto fillAssign = [](int generation) {
        std::vector<SItem> items;
        for (int i = 0; i < kItems; ++i) {
            items.push_back(Device("g" + std::to_string(generation), std::to_string(i)));
        }
        return items;
    };

    std::thread writerA([&] {
        for (int round = 0; round < kRounds; ++round) {
            fillLocked(round);
        }
    });
    std::thread writerB([&] {
        for (int round = 0; round < kRounds; ++round) {
            list.Assign(fillAssign(kRounds + round));
        }
    });
    std::thread reader([&] {
        while (!done.load()) {
            const std::vector<SItem> copy = list.Snapshot();
            if (copy.empty()) {
                continue;
            }
            bool whole = copy.size() == static_cast<std::size_t>(kItems);
            for (std::size_t i = 0; whole && i < copy.size(); ++i) {
                whole = copy[i].GetValue("BluetoothName") == copy[0].GetValue("BluetoothName") &&
                        copy[i].GetValue("BluetoothKey") == std::to_string(i);
            }
            if (!whole) {
                ++badSnapshots;
            }
            (void)list.Count();
        }
    });
    writerA.join();
    writerB.join();
    done = true;
    reader.join();
    EXPECT_EQ(badSnapshots.load(), 0);
    EXPECT_EQ(list.Count(), static_cast<std::size_t>(kItems));
}

// Plain Clear and Add from two threads at once: nothing is lost or corrupted, the list ends
// with exactly what was added after the last clear.
TEST(ItemListTest, ConcurrentClearAndAddLeaveAConsistentList) {
    SItemList list;
    std::thread adder([&] {
        for (int i = 0; i < 2000; ++i) {
            list.Add(Device("n", std::to_string(i)));
        }
    });
    std::thread clearer([&] {
        for (int i = 0; i < 200; ++i) {
            list.Clear();
        }
    });
    adder.join();
    clearer.join();
    const std::vector<SItem> rest = list.Snapshot();
    EXPECT_EQ(rest.size(), list.Count());
    // What survived is a tail of the additions, still in order.
    for (std::size_t i = 1; i < rest.size(); ++i) {
        EXPECT_EQ(std::stoi(rest[i].GetValue("BluetoothKey")),
                  std::stoi(rest[i - 1].GetValue("BluetoothKey")) + 1);
    }
    if (!rest.empty()) {
        EXPECT_EQ(rest.back().GetValue("BluetoothKey"), "1999");
    }
}

}  // namespace
