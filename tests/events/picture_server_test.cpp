#include "events/picture_server.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "server_harness.h"

namespace scopemark {
namespace {

namespace fs = std::filesystem;
using testing::ActionRecorder;
using testing::picture_packet;
using testing::picture_transfer;
using testing::read_file;
using testing::sample_picture;
using testing::Server;
using testing::ServerHarness;
using testing::write_file;
using Bytes = std::vector<std::uint8_t>;
using Calls = std::vector<std::string>;

// Whether `path` holds what the fake saver writes for `picture`.
::testing::AssertionResult holds_saved(const fs::path& path, const Bytes& picture) {
  const std::string content = read_file(path);
  const std::string expected =
      std::string(ActionRecorder::kMarker) + std::string(picture.begin(), picture.end());
  if (content == expected) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << path << " holds " << content.size() << " bytes, "
                                       << expected.size() << " expected, or other content";
}

Bytes concat(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const auto& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

class PictureServerTest : public ::testing::Test {
 protected:
  fs::path in_folder(const std::string& name) const { return h.record_folder() / name; }
  void deliver(const Bytes& bytes) { h.deliver(Server::picture, bytes); }
  Calls shown(const fs::path& path) const {
    return {"decode_and_save_bmp", "show_picture_view", "update_picture " + path.string(),
            "show_single_picture " + path.string()};
  }
  static std::string not_stored(const fs::path& path, StoreProblem problem) {
    return "picture_not_stored " + path.string() + " " + std::to_string(static_cast<int>(problem));
  }
  std::vector<std::string> folder_names() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(h.record_folder())) {
      names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }

  ServerHarness h;
};

TEST_F(PictureServerTest, PacketsOf8192Then0StoreNothing) {
  const Bytes picture = sample_picture(8192);
  const Bytes transfer = picture_transfer(picture, "small");
  ASSERT_EQ(transfer.size(), 2 * PicturePacket::kSize);
  deliver(transfer);
  EXPECT_TRUE(fs::is_empty(h.record_folder()));
  EXPECT_EQ(h.actions.calls(), Calls{});
  EXPECT_EQ(h.received_picture_path.get(), in_folder("small.bmp"));
}

TEST_F(PictureServerTest, FourteenFullPacketsAndOneOf100AreStoredAndShown) {
  const Bytes picture = sample_picture(14 * 8192 + 100);
  const Bytes transfer = picture_transfer(picture, "20261207213045");
  ASSERT_EQ(transfer.size(), 15 * PicturePacket::kSize);
  deliver(transfer);
  const fs::path stored = in_folder("20261207213045.bmp");
  EXPECT_TRUE(holds_saved(stored, picture));
  EXPECT_EQ(h.received_picture_path.get(), stored);
  EXPECT_EQ(h.actions.calls(), shown(stored));
}

TEST_F(PictureServerTest, PictureJustAboveThresholdIsStoredAndAtThresholdDropped) {
  deliver(picture_transfer(sample_picture(kStoreThreshold), "at"));
  deliver(picture_transfer(sample_picture(kStoreThreshold + 1), "above"));
  EXPECT_FALSE(fs::exists(in_folder("at.bmp")));
  EXPECT_TRUE(fs::exists(in_folder("above.bmp")));
}

// The older picture's measurements go with it: they do not describe the new one.
TEST_F(PictureServerTest, AFileOfTheSameNameIsReplaced) {
  write_file(in_folder("12345678901234.bmp"), "older picture");
  write_file(in_folder("12345678901234.bmp.measure"), "its measurements");
  const Bytes picture = sample_picture(200000, 7);
  deliver(picture_transfer(picture, "12345678901234"));
  EXPECT_TRUE(holds_saved(in_folder("12345678901234.bmp"), picture));
  EXPECT_EQ(folder_names(), std::vector<std::string>{"12345678901234.bmp"});
}

// A transfer that is too small, cut off or undecodable, or whose file cannot be written,
// keeps the older picture of its name untouched and leaves no other file.
TEST_F(PictureServerTest, AFailedTransferKeepsTheOlderFileOfItsName) {
  write_file(in_folder("same.bmp"), "older picture");
  write_file(in_folder("same.bmp.measure"), "its measurements");
  deliver(picture_transfer(sample_picture(5000), "same"));
  EXPECT_EQ(h.actions.calls(), Calls{}) << "too small: dropped without a word";

  Bytes cut = picture_transfer(sample_picture(13 * 8192), "same");
  cut.resize(13 * PicturePacket::kSize + 4000);
  deliver(cut);
  EXPECT_GE(h.log(Server::picture).count("net enviorment is so bad!\n"), 1);

  h.actions.set_decode_succeeds(false);
  deliver(picture_transfer(sample_picture(150000), "same"));

  EXPECT_EQ(read_file(in_folder("same.bmp")), "older picture");
  EXPECT_EQ(folder_names(), (std::vector<std::string>{"same.bmp", "same.bmp.measure"}));
  const fs::path same = in_folder("same.bmp");
  EXPECT_EQ(h.actions.calls(),
            (Calls{not_stored(same, StoreProblem::incomplete), "decode_and_save_bmp",
                   not_stored(same, StoreProblem::undecodable)}));
  EXPECT_EQ(h.received_picture_path.get(), same);

  h.actions.set_decode_succeeds(true);
  const Bytes good = sample_picture(110000, 9);
  deliver(picture_transfer(good, "same"));
  EXPECT_TRUE(holds_saved(same, good));
  EXPECT_EQ(folder_names(), std::vector<std::string>{"same.bmp"});
}

TEST_F(PictureServerTest, AVanishedRecordFolderIsMadeAgain) {
  fs::remove_all(h.record_folder());
  const Bytes picture = sample_picture(120000);
  deliver(picture_transfer(picture, "back"));
  EXPECT_TRUE(holds_saved(in_folder("back.bmp"), picture));
}

TEST_F(PictureServerTest, NameIsTakenFromTheFirstPacketOnly) {
  const Bytes picture = sample_picture(13 * 8192 + 1);
  Bytes transfer;
  for (int i = 0; i < 14; ++i) {
    const auto length = static_cast<std::uint16_t>(i < 13 ? 8192 : 1);
    const Bytes packet =
        picture_packet(length, i == 0 ? "first" : "../other", std::span(picture).subspan(i * 8192));
    transfer.insert(transfer.end(), packet.begin(), packet.end());
  }
  deliver(transfer);
  EXPECT_TRUE(holds_saved(in_folder("first.bmp"), picture));
}

TEST_F(PictureServerTest, OtherAddressesAreClosedAtOnce) {
  auto stranger = h.connect(Server::picture, "127.0.0.2");
  testing::send_bytes(stranger.get(), picture_transfer(sample_picture(120000), "stranger"));
  EXPECT_TRUE(testing::wait_closed_by_peer(stranger.get()));
  stranger.close();
  h.fence(Server::picture);
  EXPECT_TRUE(fs::is_empty(h.record_folder()));
  EXPECT_TRUE(h.received_picture_path.get().empty());
}

// Every unsafe transfer leaves the folder, the last received path and the window untouched,
// and the server goes on serving.
class RefusedTransferTest : public PictureServerTest {
 protected:
  void SetUp() override {
    write_file(in_folder("victim.bmp"), "older picture");
    deliver(picture_transfer(sample_picture(1000), "last"));
    ASSERT_EQ(h.received_picture_path.get(), in_folder("last.bmp"));
  }
  void expect_nothing_changed() {
    EXPECT_EQ(read_file(in_folder("victim.bmp")), "older picture");
    EXPECT_EQ(std::distance(fs::directory_iterator(h.record_folder()), {}), 1);
    EXPECT_FALSE(fs::exists(h.record_folder().parent_path() / "evil.bmp"));
    EXPECT_EQ(h.received_picture_path.get(), in_folder("last.bmp"));
    EXPECT_EQ(h.actions.calls(), Calls{});

    const Bytes good = sample_picture(110000, 3);
    deliver(picture_transfer(good, "good"));
    EXPECT_TRUE(holds_saved(in_folder("good.bmp"), good));
  }
};

TEST_F(RefusedTransferTest, LengthAbove8192InTheFirstPacket) {
  deliver(concat({picture_packet(8193, "victim", sample_picture(8192)),
                  picture_transfer(sample_picture(110000), "victim")}));
  expect_nothing_changed();
}

TEST_F(RefusedTransferTest, LengthAbove8192InALaterPacket) {
  const Bytes picture = sample_picture(3 * 8192);
  deliver(concat({picture_packet(8192, "victim", picture), picture_packet(8192, "", picture),
                  picture_packet(0xffff, "", picture), picture_transfer(picture, "")}));
  expect_nothing_changed();
}

TEST_F(RefusedTransferTest, PictureAbove512000Bytes) {
  deliver(picture_transfer(sample_picture(kMaxPictureSize + 1), "victim"));
  expect_nothing_changed();
}

TEST_F(RefusedTransferTest, UnsafeNames) {
  for (const char* name :
       {"", "..", "../evil", "..\\evil", "a/victim", "sub\\victim", "vic\x01tim", "victim\x7f"}) {
    deliver(picture_transfer(sample_picture(110000), name));
  }
  expect_nothing_changed();
}

}  // namespace
}  // namespace scopemark
