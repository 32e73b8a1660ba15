# SPDX-License-Identifier: MIT
# Stored vocabulary reader: any bytes give either a normalised vocabulary that survives a write and
# re-read, or nothing.
korvane_add_fuzzer(vocabulary_reader_fuzz VocabularyReaderFuzz.cpp)
# Transcript cleaning with rules built from the input.
korvane_add_fuzzer(text_cleaner_fuzz TextCleanerFuzz.cpp)
