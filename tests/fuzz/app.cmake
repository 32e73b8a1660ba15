# SPDX-License-Identifier: MIT
# The running instance's request lines and the WAV files korvane-transcribe reads.
korvane_add_fuzzer(instance_request_fuzz InstanceRequestFuzz.cpp)
target_link_libraries(instance_request_fuzz PRIVATE korvane_command_line)
korvane_add_fuzzer(wav_reader_fuzz WavReaderFuzz.cpp)
target_link_libraries(wav_reader_fuzz PRIVATE korvane_wav)
