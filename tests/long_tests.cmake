# Read by ctest after the discovered cases: the ones that take the longest under the
# sanitizers start first (a higher cost starts earlier).
set_tests_properties(
  ScrubCalendarTest.EveryFileIsCheckedWithinTheCycleOfMountedDays
  VolumeRunTest.EveryFileIsReadWithinItsCycleOfMountedDays
  ScanWalkTest.TreeDeeperThanTheDescriptorLimitIsReadWhole
  CrashTest.KilledRunsContinueToTheListACleanRunGives
  ParallelListsTest.RandomTreesWithUnreadableAndVanishingFilesGiveTheListsOfOneReader
  PROPERTIES COST 500)
