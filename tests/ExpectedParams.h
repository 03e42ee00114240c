#pragma once
// The parameter table as the host must see it, written out by hand.
// name | kind | min | max | default | step | shape | display of the default
inline const char* const kExpected = R"(perfomance mode|enum|0|2|2|1|1|simple mode
refill mode|enum|0|3|2|1|1|hold
refill denum|int|1|16|1|1|1|1
refill nom|int|1|16|1|1|1|1
refill all|bool|0|1|0|1|1|off
refill this|bool|0|1|0|1|1|off
base len denum|int|1|16|1|1|1|1
base len nom|int|1|16|1|1|1|1
play rate|double|-16|16|1|0.001|1|1.000
wobble amount|double|0|1|0|0.001|2.5|0.000
wobble freq|double|0.1|50|2|0.001|3|2.000
wobble internal|bool|0|1|0|1|1|off
wobble external|bool|0|1|0|1|1|off
wobble sync voices|bool|0|1|0|1|1|off
step|double|-128|128|1|0.01|1|1.00
step *= base len|int|0|1|0|1|1|step *= wavelength
step *= repeat|int|0|1|0|1|1|step *= repeat
step *= playrate|int|0|1|0|1|1|step *= wavelength
repeat|int|1|512|1|1|2|1
error int|double|0|50|0|0.001|4|0.000
error ext|double|0|50|0|0.001|3|0.000
preserve pos while err|bool|0|1|1|1|1|on
return playhead|int|0|1|0|1|1|return playhead
wrap/mirror|bool|0|1|0|1|1|off
playhead position|double|-0.0079365079365|1|0|0.000000208333333|1|0.000000
playhead glide|double|0|10|0.2|0.001|2|0.200
selection start|double|0|1|0|0.000000208333333|1|0.000000
selection end|double|0|1|1|0.000000208333333|1|1.000000
clear selection|bool|0|1|0|1|1|off
select this/all|bool|0|1|0|1|1|off
buffer size (sec)|double|0.125|10|2|0.125|2|2.000
own/common buf|bool|0|1|0|1|1|off
picked buffer|int|1|32|1|1|1|1
request picked buf|bool|0|1|0|1|1|off
grain overlap|double|0|3.5|0.001|0.001|1|0.001
window type|enum|0|2|1|1|1|parab
gaps probability|int|0|100|0|1|1|0
gaps mono/stereo|int|0|1|0|1|1|gaps mono
input fills gaps|int|0|1|0|1|1|gaps are silent
env A|double|0.005|6|0.005|0.001|3|0.005
env D|double|0.005|12|0.01|0.001|3|0.010
env S|double|0.000001|1|0.8|0.001|2|0.800
env R|double|0.005|30|10|0.001|2|10.000
rearticulate fwd|bool|0|1|1|1|1|on
rearticulate back|bool|0|1|0|1|1|off
flt env A|double|0.005|6|0.005|0.001|3|0.005
flt env D|double|0.005|12|0.01|0.001|3|0.010
flt env S|double|0.000001|1|0.000001|0.001|2|0.000
flt env R|double|0.005|30|10|0.001|2|10.000
flt on/off|bool|0|1|1|1|1|on
flt model|enum|0|1|0|1|1|simple
flt pass type|enum|0|4|0|1|1|low pass
flt freq|double|10|20000|5000|0.001|2.5|5000.000
flt q|double|0|0.99|0|0.001|1|0.000
flt follows note|bool|0|1|0|1|1|off
flt freq shift|int|0|16|0|1|1|0
flt envelope|double|-1|1|0|0.001|1|0.000
flt prop playrate|bool|0|1|0|1|1|off
auto gain amnt|double|0|1|0|0.001|2|0.000
agc local/global|bool|0|1|1|1|1|on
agc hardness|double|0.0001|0.18|0.001|0.0001|2|0.0010
agc speed|double|0.999|500|0.999|0.001|3|auto
DC removal|bool|0|1|1|1|1|on
active voices|int|2|32|4|1|1|4
poly/mono|enum|0|1|0|1|1|mono
glide|double|0.0005|10|0.1|0.001|3.5|0.100
glide head|bool|0|1|0|1|1|off
glide in release|bool|0|1|0|1|1|off
beat num C|int|1|128|1|1|1|1
beat den C|int|1|128|1|1|1|1
beat num C#|int|1|128|1|1|1|1
beat den C#|int|1|128|1|1|1|1
beat num D|int|1|128|1|1|1|1
beat den D|int|1|128|1|1|1|1
beat num D#|int|1|128|1|1|1|1
beat den D#|int|1|128|1|1|1|1
beat num E|int|1|128|1|1|1|1
beat den E|int|1|128|1|1|1|1
beat num F|int|1|128|1|1|1|1
beat den F|int|1|128|1|1|1|1
beat num F#|int|1|128|1|1|1|1
beat den F#|int|1|128|1|1|1|1
beat num G|int|1|128|1|1|1|1
beat den G|int|1|128|1|1|1|1
beat num G#|int|1|128|1|1|1|1
beat den G#|int|1|128|1|1|1|1
beat num A|int|1|128|1|1|1|1
beat den A|int|1|128|1|1|1|1
beat num A#|int|1|128|1|1|1|1
beat den A#|int|1|128|1|1|1|1
beat num B|int|1|128|1|1|1|1
beat den B|int|1|128|1|1|1|1
extrude input|bool|0|1|0|1|1|off
mix|double|0|1|1|0.001|1.5|1.000
amp|double|0|2|1|0.001|2|1.000
MIDI Panic|bool|0|1|0|1|1|off
?|bool|0|1|0|1|1|off
buf min visible|double|0|1|0|0.000000208333333|1|0.000000
buf max visible|double|0|1|1|0.000000208333333|1|1.000000
use for C|bool|0|1|1|1|1|on
use for C#|bool|0|1|1|1|1|on
use for D|bool|0|1|1|1|1|on
use for D#|bool|0|1|1|1|1|on
use for E|bool|0|1|1|1|1|on
use for F|bool|0|1|1|1|1|on
use for F#|bool|0|1|1|1|1|on
use for G|bool|0|1|1|1|1|on
use for G#|bool|0|1|1|1|1|on
use for A|bool|0|1|1|1|1|on
use for A#|bool|0|1|1|1|1|on
use for B|bool|0|1|1|1|1|on
per buf input|bool|0|1|0|1|1|off
 |bool|0|1|0|1|1|off
)";
