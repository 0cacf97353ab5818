#include "link/line_record.h"

#include <cstdlib>
#include <fstream>

#include "base/hex_digit.h"

namespace tarvin {
namespace {

constexpr std::size_t kMaxLineBytes = 256;

bool Unescape(const std::string& text, std::size_t from, std::string* out, std::string* error) {
  out->clear();
  for (std::size_t i = from; i < text.size(); ++i) {
    const char c = text[i];
    if (c != '\\') {
      out->push_back(c);
      continue;
    }
    if (++i >= text.size()) {
      *error = "a backslash ends the line";
      return false;
    }
    switch (text[i]) {
      case 'r':
        out->push_back('\r');
        break;
      case 'n':
        out->push_back('\n');
        break;
      case '\\':
        out->push_back('\\');
        break;
      case 'x': {
        const int high = i + 1 < text.size() ? HexDigitValue(text[i + 1]) : -1;
        const int low = i + 2 < text.size() ? HexDigitValue(text[i + 2]) : -1;
        if (high < 0 || low < 0) {
          *error = "\\x needs two hexadecimal digits";
          return false;
        }
        out->push_back(static_cast<char>(high * 16 + low));
        i += 2;
        break;
      }
      default:
        *error = std::string("unknown escape \\") + text[i];
        return false;
    }
  }
  return true;
}

}  // namespace

std::string EscapeLineBytes(const std::string& bytes) {
  std::string out;
  out.reserve(bytes.size() + 8);
  for (const char ch : bytes) {
    const auto c = static_cast<unsigned char>(ch);
    if (c == '\r') {
      out += "\\r";
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\\') {
      out += "\\\\";
    } else if (c < 0x20 || c >= 0x7F) {
      static constexpr char kHex[] = "0123456789ABCDEF";
      out += "\\x";
      out.push_back(kHex[c >> 4]);
      out.push_back(kHex[c & 0xF]);
    } else {
      out.push_back(ch);
    }
  }
  return out;
}

bool ParseLineChunk(const std::string& raw, LineChunk* chunk, std::string* error) {
  error->clear();
  std::string line = raw;
  if (!line.empty() && line.back() == '\r') line.pop_back();  // written on Windows
  if (line.empty() || line[0] == '#') return false;
  const std::size_t space = line.find(' ');
  if (space == std::string::npos || line.size() < space + 3 || line[space + 2] != ' ') {
    *error = "expected: seconds, a direction and the bytes";
    return false;
  }
  char* end = nullptr;
  const std::string number = line.substr(0, space);
  const double seconds = std::strtod(number.c_str(), &end);
  if (end != number.c_str() + number.size() || !(seconds >= 0)) {
    *error = "bad time '" + number + "'";
    return false;
  }
  const char direction = line[space + 1];
  if (direction != '>' && direction != '<') {
    *error = std::string("bad direction '") + direction + "'";
    return false;
  }
  if (!Unescape(line, space + 3, &chunk->bytes, error)) return false;
  chunk->seconds = seconds;
  chunk->direction = static_cast<LineDirection>(direction);
  return true;
}

bool ReadLineRuns(const std::string& path, std::vector<LineRun>* runs, std::string* error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    *error = "cannot read " + path;
    return false;
  }
  runs->clear();
  std::string line, why;
  for (int number = 1; std::getline(in, line); ++number) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line == kLineRunHeader || runs->empty()) runs->emplace_back();
    if (line.rfind("# start ", 0) == 0 && runs->back().start.empty()) runs->back().start = line.substr(8);
    LineChunk chunk;
    if (ParseLineChunk(line, &chunk, &why)) {
      runs->back().chunks.push_back(std::move(chunk));
    } else if (!why.empty()) {
      *error = path + ":" + std::to_string(number) + ": " + why;
      return false;
    }
  }
  return true;
}

std::vector<LineChunk> ChunksOfRuns(const std::vector<LineRun>& runs, std::size_t number) {
  if (number > 0) return number <= runs.size() ? runs[number - 1].chunks : std::vector<LineChunk>{};
  std::vector<LineChunk> all;
  double offset = 0;
  for (const LineRun& run : runs) {
    for (LineChunk chunk : run.chunks) {
      chunk.seconds += offset;
      all.push_back(std::move(chunk));
    }
    if (!all.empty()) offset = all.back().seconds;
  }
  return all;
}

bool ReadLineRecording(const std::string& path, std::vector<LineChunk>* chunks, std::string* error) {
  std::vector<LineRun> runs;
  if (!ReadLineRuns(path, &runs, error)) return false;
  *chunks = ChunksOfRuns(runs, 0);
  return true;
}

RecordingPort::RecordingPort(std::unique_ptr<SerialPort> inner, std::FILE* out, const std::string& start_time)
    : inner_(std::move(inner)) {
  Begin(out, start_time);
}

void RecordingPort::Begin(std::FILE* out, const std::string& start_time) {
  Flush();
  out_ = out;
  start_ = Clock::now();
  std::fprintf(out_, "%s\n# start %s\n", kLineRunHeader, start_time.c_str());
  std::fprintf(out_, "# seconds since the start, '>' to the sensor or '<' from it, the bytes\n");
  std::fflush(out_);
}

RecordingPort::~RecordingPort() { Flush(); }

int RecordingPort::ReadByte(uint8_t* byte) {
  const int got = inner_->ReadByte(byte);
  if (got == 1) Add(LineDirection::FromSensor, *byte);
  return got;
}

bool RecordingPort::WriteByte(uint8_t byte) {
  const bool put = inner_->WriteByte(byte);
  if (put) Add(LineDirection::ToSensor, byte);
  return put;
}

void RecordingPort::Close() {
  Flush();
  inner_->Close();
}

void RecordingPort::Add(LineDirection direction, uint8_t byte) {
  if (out_ == nullptr) return;  // not begun yet
  if (!pending_.empty() && direction != direction_) Flush();
  if (pending_.empty()) {
    direction_ = direction;
    pending_seconds_ = std::chrono::duration<double>(Clock::now() - start_).count();
  }
  pending_.push_back(static_cast<char>(byte));
  if (byte == '\n' || pending_.size() >= kMaxLineBytes) Flush();
}

void RecordingPort::Flush() {
  if (pending_.empty() || out_ == nullptr) return;
  std::fprintf(out_, "%.6f %c %s\n", pending_seconds_, static_cast<char>(direction_),
               EscapeLineBytes(pending_).c_str());
  std::fflush(out_);
  pending_.clear();
}

}  // namespace tarvin
