// The outlets the recorder's options ask for, fed from its journal and
// stepped together after each of its steps.
#pragma once

#include <memory>
#include <vector>

#include "journal/journal.h"
#include "outlets/outlet.h"
#include "recorder/console.h"
#include "recorder/options.h"
#include "recorder/recorder.h"

namespace tarvin {

class Outlets : public SampleObserver {
 public:
  using Clock = Outlet::Clock;

  Outlets(const RecorderOptions& options, Journal& journal, Console& console);
  Outlets(const Outlets&) = delete;
  Outlets& operator=(const Outlets&) = delete;

  bool WantSamples() const;
  void Sample(const ScopeSample& sample) override;
  // Every outlet's step; the soonest of their next runs.
  Clock::time_point Step(Clock::time_point now);
  // A last step, then each outlet stopped with up to `drain` to empty.
  void Stop(Clock::duration drain);

 private:
  std::vector<std::unique_ptr<Outlet>> outlets_;
};

}  // namespace tarvin
