// verify and compare with a catalogue: a probable copy named for every damaged or
// missing file, and a volume that is mounted nowhere.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "cli/catalogue_verify_fixture.h"
#include "common/test_text.h"
#include "lists/list_names.h"

namespace catalogue_verify_tests {
namespace {

TEST_F(CatalogueVerifyTest, VerifyAndCompareNameAProbableCopyOfDamagedAndMissingFiles) {
  const std::string photos = tree_.Dir("Photos");
  const std::string rotten = tree_.File("Photos/beach.jpg", "waves on the sand, all day");
  const std::string gone = tree_.File("Photos/town.jpg", "roofs and chimneys");
  tree_.File("Photos/alone.jpg", "on this disk alone");
  const std::string backup = tree_.Dir("Backup");
  const std::string beach_copy = tree_.File("Backup/old/beach.jpg", "waves on the sand, all day");
  const std::string town_copy = tree_.File("Backup/town-copy.jpg", "roofs and chimneys");
  const std::string list = ScanInto("Photos", photos);
  ScanInto("Backup", backup);
  Rot(rotten, "waves on the sand, ALL day");
  std::filesystem::remove(gone);
  std::filesystem::remove(tree_.Path("Photos/alone.jpg"));

  const CommandResult verify = Cli({"verify", "--catalogue", catalogue_, list});
  EXPECT_EQ(verify.exit_code, 3) << verify.err;
  EXPECT_EQ(verify.out, Row("missing", tree_.Path("Photos/alone.jpg")) + Row("corrupted", rotten) +
                            Row("", "probable copy on Backup: " + beach_copy) +
                            Row("missing", gone) +
                            Row("", "probable copy on Backup: " + town_copy));

  const CommandResult now = Cli({"verify", "--write", tree_.Path("now.v00"), list});
  const CommandResult json =
      Cli({"compare", "--format", "jsonl", "--catalogue", catalogue_, list, tree_.Path("now.v00")});
  EXPECT_EQ(json.exit_code, 3);
  const size_t second_line = json.out.find('\n') + 1;
  const std::string beach =
      json.out.substr(second_line, json.out.find('\n', second_line) - second_line);
  EXPECT_TRUE(beach.ends_with(",\"probable_copy\":{\"volume\":\"Backup\",\"path\":\"" +
                              testing_support::JsonPath(beach_copy) + "\"}}"))
      << json.out;
  // Without a catalogue that holds a copy, no copy is named.
  const CommandResult plain = Cli({"compare", list, tree_.Path("now.v00")});
  EXPECT_EQ(plain.out.find("probable copy"), std::string::npos) << plain.out;
}

TEST_F(CatalogueVerifyTest, NeverNamesTheFileItselfFromAnotherListOfItsDisk) {
  const std::string disk = tree_.Dir("Disk");
  const std::string rotten = tree_.File("Disk/photos/beach.jpg", "waves on the sand, all day");
  const std::string gone = tree_.File("Disk/photos/town.jpg", "roofs and chimneys");
  const std::string spare = tree_.File("Disk/spare/town.jpg", "roofs and chimneys");
  tree_.File("Disk/spare/beach.jpg", "waves on the sand, all day");
  const std::string zip = tree_.File("Zip/beach.jpg", "waves on the sand, all day");
  const std::vector<std::string> of_disk = {"--label", "DISK", "--serial", "5555"};
  ScanInto("Zip", tree_.Path("Zip"), {"--label", "ZIP", "--serial", "6666"});
  ScanInto("Disk", disk, of_disk);
  ScanInto("Album", disk + "photos/", of_disk);
  const std::string list = ScanInto("Disk-2024", disk, of_disk);
  // The same list outside the catalogue.
  const std::string outside = tree_.File("outside/Disk-copy.v00", TempTree::Read(list));
  Rot(rotten, "waves on the sand, ALL day");
  std::filesystem::remove(gone);
  // The other lists of the disk hold the rotten and the missing file at their own
  // paths: the files themselves. A copy on another volume comes first; else the spare
  // at another path of the disk, from the first other list (by path) that holds it.
  const std::pair<std::string, std::string> cases[] = {{list, "Disk"}, {outside, "Disk-2024"}};
  for (const auto& [verified, holder] : cases) {
    const CommandResult r = Cli({"verify", "--catalogue", catalogue_, "--path", disk, verified});
    EXPECT_EQ(r.exit_code, 3) << r.err;
    EXPECT_EQ(r.out, Row("corrupted", rotten) + Row("", "probable copy on Zip: " + zip) +
                         Row("missing", gone) +
                         Row("", "probable copy on " + holder + ": " + spare))
        << verified;
  }
}

TEST_F(CatalogueVerifyTest, StopsNamingTheVolumeWhenItIsNotMounted) {
  const std::string data = tree_.Dir("data");
  tree_.File("data/a.txt", "some words");
  // A volume that is mounted nowhere: its serial is no mounted volume's.
  const std::string list = ScanInto("Lost", data, {"--label", "LOST", "--serial", "4242"});
  const std::string volume = "\"LOST\" (serial " + lists::SerialNumberText(4242) + ")";
  ExpectRefused(list, "cannot verify " + list + ": " + data +
                          " is on another volume and its volume " + volume +
                          " is not mounted; mount it, or give --path");
  const CommandResult r = Cli({"verify", "--path", data, list});
  EXPECT_EQ(r.exit_code, 0) << r.err;

  std::filesystem::remove_all(data);
  ExpectRefused(list, "cannot verify " + list + ": " + data + " is gone and its volume " + volume +
                          " is not mounted; mount it, or give --path");
}

}  // namespace
}  // namespace catalogue_verify_tests
