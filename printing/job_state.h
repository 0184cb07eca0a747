// The state of one job, owned by RunJob and passed down explicitly.
#ifndef KALVENOR_PRINTING_JOB_STATE_H_
#define KALVENOR_PRINTING_JOB_STATE_H_

#include <cstdint>

#include "base/text.h"

namespace kalvenor {

// Set once at start-up from the command line.
struct JobState {
  Text slip_path;
  Text log_path;
  Text program_drive = u"C:";
  Text slip_file_name;       // last 12 characters of the slip path as given
  Text copy_path;            // the slips-folder copy
  // "S" as the fourth argument. On the original printer it cleared a printer
  // setting before header lines 2 and later; no surface here has that
  // setting, so nothing reads it, but the job keeps it with the arguments.
  bool fourth_switch = false;
  int16_t feed_count = 0;
};

// Settings from KALVENOR.INI.
struct Config {
  Text font_name = u"Consolas";
  int16_t left_margin = 0;
  int16_t small_size = 7;
  int16_t normal_size = 8;
  int16_t large_size = 10;
};

// What the pre-scan finds before printing; the comanda pass adds to it.
struct PreScan {
  int16_t last_section_digit = 0;
  Text copy1_amount;
  Text copy2_amount;
  bool insurer_difference = false;
  bool client_signature = false;
  bool insurer = false;
  Text prescription_text;
  bool prescription_flag = false;
  Text authorisation_text;
  bool authorisation_flag = false;
};

// The five bounded section lists and the section counter. Slots run from 0
// to the bound; a count is the highest slot in use.
struct SectionLists {
  static constexpr int16_t kHeaderLast = 13;
  static constexpr int16_t kUpperLast = 10;
  static constexpr int16_t kItemLast = 100;
  static constexpr int16_t kFooterLast = 10;
  static constexpr int16_t kSignatureLast = 20;

  Text header[kHeaderLast + 1];
  Text upper[kUpperLast + 1];
  Text item[kItemLast + 1];
  Text footer[kFooterLast + 1];
  Text signature[kSignatureLast + 1];
  int16_t header_count = 0;
  int16_t upper_count = 0;
  int16_t item_count = 0;
  int16_t footer_count = 0;
  int16_t signature_count = 0;
  int16_t section = 0;
};

struct Job {
  JobState state;
  Config config;
  PreScan prescan;
  SectionLists sections;
  bool cae_printed = false;  // the C.A.E. line goes on one copy per run
};

}  // namespace kalvenor

#endif  // KALVENOR_PRINTING_JOB_STATE_H_
