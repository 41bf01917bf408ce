// The instruments of the game's music, each made from a sample synthesised
// here and tuned so that its notes sound at their pitch.
#pragma once

#include "tools/soundgen/xm_writer.h"

namespace instruments {

// A warm, slowly beating pad (three detuned saw-like voices), looped over one
// second so the beating never repeats audibly. Slow attack.
xm::Instrument Pad();
// A round bass with a soft pluck at the start, then a looped steady tone.
xm::Instrument Bass();
// A glassy bell for the arpeggios: struck, decaying, not looped.
xm::Instrument Bell();
// A soft flute-like lead with a gentle chorus and delayed vibrato.
xm::Instrument Lead();
// A soft, round kick drum.
xm::Instrument Kick();
// A short, airy shaker.
xm::Instrument Shaker();

}  // namespace instruments
