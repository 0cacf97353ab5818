// Hand-made journals of a commissioning, shared by the report model's unit
// tests (tests/report) and the PDF's (tests/osc): each a few runs' lines as
// the window or the recorder writes them, some from older versions.
#pragma once

#include <fstream>
#include <string>
#include <vector>

namespace tarvin::testing {

using JournalLines = std::vector<std::string>;

inline void WriteJournal(const std::string& path, const JournalLines& lines) {
  std::ofstream out(path);
  for (const std::string& line : lines) out << line << "\n";
}

// A run from 22:00: a summary, an alarm saved (before saves named their
// alarm), a torn line, a loss of 20 s, a narrow-margin summary, two saves
// whose files are missing and damaged; `stop`, then a second run that ends
// without one (a power cut) with an alarm still on.
inline const JournalLines kTwoRuns = {
    R"({"time":"2026-12-07T22:00:00.000+03:00","seq":1,"event":"start","port":"COM1","version":"1.0.0","options":{"save_level":40.0}})",
    R"({"time":"2026-12-07T22:00:00.040+03:00","seq":2,"event":"link_up","firmware":"2.0"})",
    R"({"time":"2026-12-07T22:01:00.000+03:00","seq":3,"event":"summary","seconds":60.0,"samples":4668,"lost":0,"threshold":{"min":28.0,"max":28.1,"mean":28.05},"useful":{"min":5.0,"max":15.0,"mean":10.0},"margin":{"min":13.0,"over_threshold":0},"settings":{"direct_component":"30","buffer_length":"56","network_address":"7","save_level":40.0}})",
    R"({"time":"2026-12-07T22:10:00.000+03:00","seq":4,"event":"alarm_begin","alarm_bits":6})",
    R"({"time":"2026-12-07T22:10:01.280+03:00","seq":5,"event":"saved","path":"Chart4pF/good.bin","trigger":"alarm","samples":5})",
    R"({"time":"2026-12-07T22:10:04.000+03:00","seq":6,"event":"alarm_end","alarm_bits":6})",
    R"({"time":"2026-12-07T22:1)",
    R"({"time":"2026-12-07T22:20:00.000+03:00","seq":8,"event":"link_lost"})",
    R"({"time":"2026-12-07T22:20:20.000+03:00","seq":9,"event":"link_up","firmware":"2.0"})",
    R"({"time":"2026-12-07T22:21:00.000+03:00","seq":10,"event":"summary","seconds":60.0,"samples":4600,"lost":3,"threshold":{"min":28.0,"max":28.1,"mean":28.05},"useful":{"min":5.0,"max":33.0,"mean":11.0},"margin":{"min":-5.0,"over_threshold":12},"settings":{"direct_component":"30","buffer_length":"56","network_address":null,"save_level":40.0}})",
    R"({"time":"2026-12-07T22:30:00.000+03:00","seq":11,"event":"saved","path":"Chart4pF/missing.bin","trigger":"level","samples":5})",
    R"({"time":"2026-12-07T22:31:00.000+03:00","seq":12,"event":"saved","path":"Chart4pF/damaged.bin","trigger":"level","samples":5})",
    R"({"time":"2026-12-07T22:40:00.000+03:00","seq":13,"event":"stop","reason":"signal","samples":9,"counters":{"checksum_errors":4,"timeouts":2}})",
    R"({"time":"2026-12-07T22:45:00.000+03:00","seq":1,"event":"start","port":"COM1","version":"1.0.0"})",
    R"({"time":"2026-12-07T22:45:00.040+03:00","seq":2,"event":"link_up","firmware":"2.0"})",
    R"({"time":"2026-12-07T22:50:00.000+03:00","seq":3,"event":"alarm_begin","alarm_bits":2})",
    R"({"time":"2026-12-07T23:00:00.000+03:00","seq":4,"event":"balance","text":"Фланги СЗ сбалансированы"})",
};

// A recorder's run with 10 s summaries: alarm 1 arms a save that alarm 2,
// begun while it waited, shares; alarm 3 is still on at the stop.
inline const JournalLines kArmed = {
    R"({"time":"2026-12-08T18:00:00.000+03:00","seq":1,"event":"start","port":"COM1","version":"1.0.0"})",
    R"({"time":"2026-12-08T18:00:00.043+03:00","seq":2,"event":"link_up","firmware":"2.0"})",
    R"({"time":"2026-12-08T18:00:10.040+03:00","seq":3,"event":"summary","seconds":10.0,"samples":250,"lost":0,"useful":{"max":15.0},"threshold":{"min":28.0},"margin":{"min":13.0,"over_threshold":0}})",
    R"({"time":"2026-12-08T18:01:00.000+03:00","seq":4,"event":"alarm_begin","alarm_bits":6})",
    R"({"time":"2026-12-08T18:01:02.000+03:00","seq":5,"event":"alarm_end","alarm_bits":6})",
    R"({"time":"2026-12-08T18:01:05.000+03:00","seq":6,"event":"alarm_begin","alarm_bits":2})",
    R"({"time":"2026-12-08T18:01:10.000+03:00","seq":7,"event":"saved","path":"Chart4pF/good.bin","trigger":"alarm","samples":5,"level_exceeded":false,"alarm_seq":4,"alarm_begin":"2026-12-08T18:01:00.000+03:00"})",
    R"({"time":"2026-12-08T18:01:12.000+03:00","seq":8,"event":"alarm_end","alarm_bits":2})",
    R"({"time":"2026-12-08T18:02:47.000+03:00","seq":9,"event":"alarm_begin","alarm_bits":6})",
    R"({"time":"2026-12-08T18:02:47.500+03:00","seq":10,"event":"stop","reason":"duration"})",
};

// An alarm acknowledged from the control room after a restart of the
// recorder, the same seq in the next run not acknowledged, a second ack of
// the first alarm (the first stands) and a refused one that changes nothing.
inline const JournalLines kAcked = {
    R"({"time":"2026-12-09T01:00:00.000+03:00","seq":1,"event":"start","port":"COM1","version":"1.0.0"})",
    R"({"time":"2026-12-09T01:00:00.040+03:00","seq":2,"event":"link_up","firmware":"2.0"})",
    R"({"time":"2026-12-09T01:02:03.456+03:00","seq":3,"event":"alarm_begin","alarm_bits":6})",
    R"({"time":"2026-12-09T01:02:05.000+03:00","seq":4,"event":"alarm_end","alarm_bits":6})",
    R"({"time":"2026-12-09T01:04:00.000+03:00","seq":5,"event":"stop","reason":"signal"})",
    R"({"time":"2026-12-09T01:04:10.000+03:00","seq":1,"event":"start","port":"COM1","version":"1.0.0"})",
    R"({"time":"2026-12-09T01:04:10.040+03:00","seq":2,"event":"link_up","firmware":"2.0"})",
    R"({"time":"2026-12-09T01:05:04.656+03:00","seq":3,"event":"ack","alarm":3,"alarm_time":"2026-12-09T01:02:03.456+03:00","operator":"ivanov","comment":"ложная: <b>ветер</b>","pressed":"2026-12-08T22:05:04.000Z","seconds_to_ack":181.2,"id":"press-0001"})",
    R"({"time":"2026-12-09T01:05:05.000+03:00","seq":4,"event":"ack_refused","operator":"petrov","alarm":3,"alarm_time":"2026-12-09T01:04:10.040+03:00","id":"press-0002","reason":"unknown_alarm"})",
    R"({"time":"2026-12-09T01:05:06.000+03:00","seq":5,"event":"ack","alarm":3,"alarm_time":"2026-12-09T01:02:03.456+03:00","operator":"petrov","comment":"проверено","pressed":null,"seconds_to_ack":182.5,"id":"press-0003"})",
    R"({"time":"2026-12-09T01:06:00.000+03:00","seq":6,"event":"alarm_begin","alarm_bits":2})",
    R"({"time":"2026-12-09T01:06:01.000+03:00","seq":7,"event":"alarm_end","alarm_bits":2})",
};

// The window's run (no control room): a walk test of one pass that raised two
// alarms, its note NOTE, the link up a second after the start; then a
// recorder's run that publishes to a broker, nobody acknowledging.
inline const JournalLines kUnattended = {
    R"({"time":"2026-12-11T12:00:00.000+03:00","seq":1,"event":"start","port":"COM1","version":"4.0"})",
    R"({"time":"2026-12-11T12:00:01.000+03:00","seq":2,"event":"link_up","firmware":"2.0"})",
    R"({"time":"2026-12-11T12:00:10.000+03:00","seq":3,"event":"walk_test_begin","walk_test":3,"note":"NOTE","limit_min":30})",
    R"({"time":"2026-12-11T12:00:20.000+03:00","seq":4,"event":"alarm_begin","alarm_bits":6,"walk_test":3,"detection":1})",
    R"({"time":"2026-12-11T12:00:21.500+03:00","seq":5,"event":"alarm_end","alarm_bits":6,"walk_test":3,"detection":1,"peak":40.0,"threshold":30.0,"margin":10.0,"over_threshold_s":2.7})",
    R"({"time":"2026-12-11T12:00:23.000+03:00","seq":6,"event":"alarm_begin","alarm_bits":6,"walk_test":3,"detection":2})",
    R"({"time":"2026-12-11T12:00:24.000+03:00","seq":7,"event":"alarm_end","alarm_bits":6,"walk_test":3,"detection":2,"peak":38.0,"threshold":30.0,"margin":8.0,"over_threshold_s":0.8})",
    R"({"time":"2026-12-11T12:00:40.000+03:00","seq":8,"event":"walk_test_end","walk_test":3,"passes":1,"detections":2,"missed":0,"reason":"operator","seconds":30.0})",
    R"({"time":"2026-12-11T12:01:00.000+03:00","seq":9,"event":"alarm_begin","alarm_bits":2})",
    R"({"time":"2026-12-11T12:01:02.000+03:00","seq":10,"event":"alarm_end","alarm_bits":2})",
    R"({"time":"2026-12-11T12:02:00.000+03:00","seq":11,"event":"stop","reason":"operator"})",
    R"({"time":"2026-12-11T12:05:00.000+03:00","seq":1,"event":"start","port":"/dev/ttyUSB0","version":"1.1.0","options":{"mqtt":"mqtt://north@broker","site":"north","sensor":"gate"}})",
    R"({"time":"2026-12-11T12:05:00.040+03:00","seq":2,"event":"link_up","firmware":"2.0"})",
    R"({"time":"2026-12-11T12:06:00.000+03:00","seq":3,"event":"alarm_begin","alarm_bits":6})",
    R"({"time":"2026-12-11T12:06:03.000+03:00","seq":4,"event":"alarm_end","alarm_bits":6})",
    R"({"time":"2026-12-11T12:07:00.000+03:00","seq":5,"event":"stop","reason":"signal"})",
};

// Two walk tests (one ended by the operator with a pass missed, one by its
// limit, its last detection ending after it), alarms outside, quiet summaries.
inline const JournalLines kWalked = {
    R"({"time":"2026-12-09T10:00:00.000+03:00","seq":1,"event":"start","port":"/dev/ttyUSB0","version":"1.1.0","options":{"save_level":40.0,"control":"/run/tarvin9/control","walk_test_limit":30}})",
    R"({"time":"2026-12-09T10:00:00.040+03:00","seq":2,"event":"link_up","firmware":"2.0"})",
    R"({"time":"2026-12-09T10:01:00.000+03:00","seq":3,"event":"summary","seconds":60.0,"samples":4668,"lost":0,"threshold":{"min":28.0},"useful":{"max":14.8},"margin":{"min":13.2,"over_threshold":0},"quiet":{"samples":4668,"margin_min":13.2,"useful_max":14.8,"useful_sd":1.5}})",
    R"({"time":"2026-12-09T10:01:30.000+03:00","seq":4,"event":"walk_test_begin","walk_test":1,"note":"ворота, в полный рост","limit_min":30})",
    R"({"time":"2026-12-09T10:01:40.000+03:00","seq":5,"event":"alarm_begin","alarm_bits":6,"walk_test":1,"detection":1})",
    R"({"time":"2026-12-09T10:01:42.500+03:00","seq":6,"event":"alarm_end","alarm_bits":6,"peak":47.0,"threshold":30.5,"margin":16.5,"over_threshold_s":1.8,"walk_test":1,"detection":1})",
    R"({"time":"2026-12-09T10:02:00.000+03:00","seq":7,"event":"summary","seconds":60.0,"samples":4668,"lost":0,"threshold":{"min":28.0},"useful":{"max":47.0},"margin":{"min":-16.5,"over_threshold":140},"quiet":{"samples":2334,"margin_min":12.9,"useful_max":15.1,"useful_sd":1.6}})",
    R"({"time":"2026-12-09T10:02:10.000+03:00","seq":8,"event":"alarm_begin","alarm_bits":6,"walk_test":1,"detection":2})",
    R"({"time":"2026-12-09T10:02:12.000+03:00","seq":9,"event":"alarm_end","alarm_bits":6,"peak":39.8,"threshold":30.0,"margin":9.8,"over_threshold_s":1.2,"walk_test":1,"detection":2})",
    R"({"time":"2026-12-09T10:02:30.000+03:00","seq":10,"event":"walk_test_end","walk_test":1,"passes":3,"detections":2,"missed":1,"reason":"operator","seconds":60.0})",
    R"({"time":"2026-12-09T10:03:00.000+03:00","seq":11,"event":"summary","seconds":60.0,"samples":4668,"lost":0,"threshold":{"min":28.0},"useful":{"max":39.8},"margin":{"min":-9.8,"over_threshold":90},"quiet":{"samples":1500,"margin_min":12.7,"useful_max":15.3,"useful_sd":2.1}})",
    R"({"time":"2026-12-09T10:05:00.000+03:00","seq":12,"event":"alarm_begin","alarm_bits":2})",
    R"({"time":"2026-12-09T10:05:03.000+03:00","seq":13,"event":"alarm_end","alarm_bits":2,"peak":33.1,"threshold":29.6,"margin":3.5,"over_threshold_s":0.9})",
    R"({"time":"2026-12-09T10:06:00.000+03:00","seq":14,"event":"summary","seconds":60.0,"samples":4668,"lost":0,"threshold":{"min":28.0},"useful":{"max":33.1},"margin":{"min":-3.5,"over_threshold":70},"quiet":{"samples":3900,"margin_min":14.0,"useful_max":14.1,"useful_sd":1.2}})",
    R"({"time":"2026-12-09T10:10:00.000+03:00","seq":15,"event":"walk_test_begin","walk_test":2,"note":"","limit_min":5})",
    R"({"time":"2026-12-09T10:14:58.000+03:00","seq":16,"event":"alarm_begin","alarm_bits":6,"walk_test":2,"detection":1})",
    R"({"time":"2026-12-09T10:15:00.000+03:00","seq":17,"event":"walk_test_end","walk_test":2,"passes":null,"detections":1,"missed":null,"reason":"limit","seconds":300.0})",
    R"({"time":"2026-12-09T10:15:02.000+03:00","seq":18,"event":"alarm_end","alarm_bits":6,"peak":41.0,"threshold":30.0,"margin":11.0,"over_threshold_s":2.5,"walk_test":2,"detection":1})",
    R"({"time":"2026-12-09T10:16:00.000+03:00","seq":19,"event":"summary","seconds":60.0,"samples":4668,"lost":0,"threshold":{"min":28.0},"useful":{"max":41.0},"margin":{"min":-11.0,"over_threshold":180},"quiet":{"samples":0,"margin_min":null,"useful_max":null,"useful_sd":null}})",
    R"({"time":"2026-12-09T10:20:00.000+03:00","seq":20,"event":"alarm_begin","alarm_bits":6})",
    R"({"time":"2026-12-09T10:20:01.000+03:00","seq":21,"event":"alarm_end","alarm_bits":6,"peak":null,"threshold":null,"margin":null,"over_threshold_s":null})",
    R"({"time":"2026-12-09T10:21:00.000+03:00","seq":22,"event":"summary","seconds":60.0,"samples":4668,"lost":0,"threshold":{"min":28.0},"useful":{"max":14.5},"margin":{"min":13.5,"over_threshold":0},"quiet":{"samples":4000,"margin_min":13.5,"useful_max":14.5,"useful_sd":1.4}})",
    R"({"time":"2026-12-09T10:21:30.000+03:00","seq":23,"event":"stop","reason":"signal","counters":{"checksum_errors":0,"timeouts":0}})",
};

// Before walk tests and quiet figures: 10 s summaries, an alarm in the one to
// 12:00:30 and the 10 s after it in the next; a loss of 20 ms.
inline const JournalLines kOld = {
    R"({"time":"2026-12-10T12:00:00.000+03:00","seq":1,"event":"start","port":"COM1","version":"1.0.0"})",
    R"({"time":"2026-12-10T12:00:00.000+03:00","seq":2,"event":"link_up","firmware":"2.0"})",
    R"({"time":"2026-12-10T12:00:10.000+03:00","seq":3,"event":"summary","seconds":10.0,"samples":780,"lost":0,"useful":{"max":14.0},"threshold":{"min":28.0},"margin":{"min":14.0,"over_threshold":0}})",
    R"({"time":"2026-12-10T12:00:20.000+03:00","seq":4,"event":"summary","seconds":10.0,"samples":780,"lost":0,"useful":{"max":14.9},"threshold":{"min":28.0},"margin":{"min":13.1,"over_threshold":0}})",
    R"({"time":"2026-12-10T12:00:25.000+03:00","seq":5,"event":"alarm_begin","alarm_bits":6})",
    R"({"time":"2026-12-10T12:00:27.000+03:00","seq":6,"event":"alarm_end","alarm_bits":6})",
    R"({"time":"2026-12-10T12:00:30.000+03:00","seq":7,"event":"summary","seconds":10.0,"samples":780,"lost":0,"useful":{"max":40.0},"threshold":{"min":28.0},"margin":{"min":-12.0,"over_threshold":90}})",
    R"({"time":"2026-12-10T12:00:40.000+03:00","seq":8,"event":"summary","seconds":10.0,"samples":780,"lost":0,"useful":{"max":26.0},"threshold":{"min":28.0},"margin":{"min":2.0,"over_threshold":0}})",
    R"({"time":"2026-12-10T12:00:50.000+03:00","seq":9,"event":"summary","seconds":10.0,"samples":780,"lost":0,"useful":{"max":15.6},"threshold":{"min":28.0},"margin":{"min":12.4,"over_threshold":0}})",
    R"({"time":"2026-12-10T12:00:55.000+03:00","seq":10,"event":"link_lost"})",
    R"({"time":"2026-12-10T12:00:55.020+03:00","seq":11,"event":"link_up","firmware":"2.0"})",
    R"({"time":"2026-12-10T12:01:00.000+03:00","seq":12,"event":"summary","seconds":10.0,"samples":780,"lost":0,"useful":{"max":15.1},"threshold":{"min":28.0},"margin":{"min":12.9,"over_threshold":0}})",
    R"({"time":"2026-12-10T12:01:05.000+03:00","seq":13,"event":"stop","reason":"signal"})",
};

// A recorder reporting to an alarm receiving centre: the centre away from the
// first try until the stop, alarm 1 waiting; after the restart alarm 1 is
// acknowledged first, though alarm 2 of the new run has its `seq`; an outage
// of two minutes (told twice) with alarm 3 waiting through it; the last
// outage open at the journal's end (it runs still), alarm 4 dropped in it.
inline const JournalLines kCentre = {
    R"({"time":"2026-12-10T04:00:00.000+03:00","seq":1,"event":"start","port":"COM1","version":"1.2.0","options":{"save_level":40.0}})",
    R"({"time":"2026-12-10T04:00:00.040+03:00","seq":2,"event":"link_up","firmware":"2.0"})",
    R"({"time":"2026-12-10T04:00:01.000+03:00","seq":3,"event":"dc09_path_down","reason":"no answer","waiting":0})",
    R"({"time":"2026-12-10T04:01:02.345+03:00","seq":4,"event":"alarm_begin","alarm_bits":6})",
    R"({"time":"2026-12-10T04:01:04.000+03:00","seq":5,"event":"alarm_end","alarm_bits":6})",
    R"({"time":"2026-12-10T04:03:00.000+03:00","seq":6,"event":"stop","reason":"signal"})",
    R"({"time":"2026-12-10T04:05:00.000+03:00","seq":1,"event":"start","port":"COM1","version":"1.2.0","options":{"save_level":40.0}})",
    R"({"time":"2026-12-10T04:05:00.040+03:00","seq":2,"event":"link_up","firmware":"2.0"})",
    R"({"time":"2026-12-10T04:05:00.500+03:00","seq":3,"event":"dc09_path_up","path":"main","waiting":2})",
    R"({"time":"2026-12-10T04:05:00.600+03:00","seq":4,"event":"alarm_begin","alarm_bits":2})",
    R"({"time":"2026-12-10T04:05:00.700+03:00","seq":5,"event":"dc09_acked","reported":"alarm_begin","event_seq":4,"event_time":"2026-12-10T04:01:02.345+03:00","code":"BA","dc09_seq":1,"path":"main"})",
    R"({"time":"2026-12-10T04:05:00.900+03:00","seq":6,"event":"dc09_acked","reported":"alarm_end","event_seq":5,"event_time":"2026-12-10T04:01:04.000+03:00","code":"BH","dc09_seq":2,"path":"main"})",
    R"({"time":"2026-12-10T04:05:01.100+03:00","seq":7,"event":"dc09_acked","reported":"alarm_begin","event_seq":4,"event_time":"2026-12-10T04:05:00.600+03:00","code":"BA","dc09_seq":3,"path":"main"})",
    R"({"time":"2026-12-10T04:05:03.000+03:00","seq":8,"event":"alarm_end","alarm_bits":2})",
    R"({"time":"2026-12-10T04:05:03.200+03:00","seq":9,"event":"dc09_acked","reported":"alarm_end","event_seq":8,"event_time":"2026-12-10T04:05:03.000+03:00","code":"BH","dc09_seq":4,"path":"main"})",
    R"({"time":"2026-12-10T04:10:00.000+03:00","seq":10,"event":"dc09_path_down","reason":"connection refused","waiting":0})",
    R"({"time":"2026-12-10T04:10:30.000+03:00","seq":11,"event":"dc09_path_down","reason":"no answer","waiting":0})",
    R"({"time":"2026-12-10T04:11:00.000+03:00","seq":12,"event":"alarm_begin","alarm_bits":6})",
    R"({"time":"2026-12-10T04:11:01.000+03:00","seq":13,"event":"alarm_end","alarm_bits":6})",
    R"({"time":"2026-12-10T04:12:00.000+03:00","seq":14,"event":"dc09_path_up","path":"backup","waiting":2})",
    R"({"time":"2026-12-10T04:12:00.300+03:00","seq":15,"event":"dc09_acked","reported":"alarm_begin","event_seq":12,"event_time":"2026-12-10T04:11:00.000+03:00","code":"BA","dc09_seq":5,"path":"backup"})",
    R"({"time":"2026-12-10T04:12:00.500+03:00","seq":16,"event":"dc09_acked","reported":"alarm_end","event_seq":13,"event_time":"2026-12-10T04:11:01.000+03:00","code":"BH","dc09_seq":6,"path":"backup"})",
    R"({"time":"2026-12-10T04:20:00.000+03:00","seq":17,"event":"dc09_path_down","reason":"no answer","waiting":0})",
    R"({"time":"2026-12-10T04:21:00.000+03:00","seq":18,"event":"alarm_begin","alarm_bits":2})",
    R"({"time":"2026-12-10T04:21:02.000+03:00","seq":19,"event":"alarm_end","alarm_bits":2})",
    R"({"time":"2026-12-10T04:30:00.000+03:00","seq":20,"event":"dc09_dropped","reported":"alarm_begin","event_seq":18,"event_time":"2026-12-10T04:21:00.000+03:00","code":"BA"})",
};

}  // namespace tarvin::testing
