# SPDX-License-Identifier: MIT
# The update feed and the version numbers it compares.
korvane_add_fuzzer(update_feed_fuzz UpdateFeedFuzz.cpp)
