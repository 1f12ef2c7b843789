#pragma once
// A unit's record as one line of text, the same on a terminal, in the
// station window's log pane and in the log file:
//   <time>  <port> [serial]  VID:PID  <family>  <before> -> <after>  <outcome>  <duration>[: message]
#include <cstdint>
#include <string>

#include "station/unit_record.h"

// "1.40"; "?" when the controller did not say.
std::string UnitVersionText(std::uint32_t word, bool known);
// "0483:5750"
std::string UnitVidPid(const UnitIdentity& identity);
std::string UnitFamily(const AttachedUnit& unit);
// What went wrong, on one line: the message shown, else the reason code.
std::string UnitMessage(const UnitRecord& record);
// "pad-1.40.dat sha256 ab12..., catalogue pads version 7": what is known of
// the unit's package (the line's part in brackets); empty when nothing is.
std::string UnitTraceText(const UnitTrace& trace);
// time: the wall-clock time the front end stamps the line with.
std::string UnitLine(const UnitRecord& record, const std::string& time);
// "updated 3  up to date 1  failed 0  refused 0  running 2"
std::string CountersLine(const StationCounters& counters);
