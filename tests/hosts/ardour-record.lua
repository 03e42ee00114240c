-- Run by ardour-sound.sh inside Ardour's headless Lua session tool: makes a
-- session whose MIDI track plays Vesk, fed with audio by a second track.
-- Both tracks record as the session rolls: "src" the dummy engine's sine
-- input, "vesk" two notes played on the session's virtual keyboard. Then
-- "mix" is automated down and up again over the second note, the tracks are
-- disarmed and the session is saved, ready for the host's own export.
local dir = os.getenv("VESK_SESSION")
assert(AudioEngine:set_backend("None (Dummy)", "", ""), "no dummy audio engine")
AudioEngine:set_device_name("Sine Wave")
assert(create_session(dir, "vesk", 48000), "cannot create a session")

local src = Session:new_audio_track(2, 2, nil, 1, "src", ARDOUR.PresentationInfo.max_order, ARDOUR.TrackMode.Normal, true):front()
-- The VST 2.4 library, or the LV2 or VST3 bundle when VESK_FORMAT is "lv2"
-- or "vst3", by the name the host lists it under (VESK_NAME).
local format = os.getenv("VESK_FORMAT")
local types = {lv2 = ARDOUR.PluginType.LV2, vst3 = ARDOUR.PluginType.VST3}
local name = os.getenv("VESK_NAME") or "Vesk"
local info = ARDOUR.LuaAPI.new_plugin_info(name, types[format] or ARDOUR.PluginType.LXVST)
assert(not info:isnil(), "the host did not find " .. name)
-- An instrument's track is made as the host's "Add Track" dialog makes it:
-- one MIDI channel out, strict I/O, so the track's outputs are what the
-- instrument gives. The effect gets its two audio outputs asked for.
local instrument = os.getenv("VESK_INSTRUMENT") == "1"
local outputs = instrument and ARDOUR.ChanCount(ARDOUR.DataType("midi"), 1) or ARDOUR.ChanCount(ARDOUR.DataType("audio"), 2)
local vesk = Session:new_midi_track(ARDOUR.ChanCount(ARDOUR.DataType("midi"), 1), outputs,
  true, info, nil, nil, 1, "vesk", ARDOUR.PresentationInfo.max_order, ARDOUR.TrackMode.Normal, true):front()
-- An instrument that records: the MIDI track gets two audio inputs, fed by "src" alone.
-- Adding a port while the host's auto-connect thread still connects the new
-- track deadlocks this host (its port and queue locks are taken in opposite
-- orders), so that thread gets time to finish first.
ARDOUR.LuaAPI.usleep(1500000)
for _ = 1, 2 do vesk:input():add_port("", nil, ARDOUR.DataType("audio")) end
src:output():disconnect_all(nil)
for i = 0, 1 do assert(src:output():audio(i):connect(vesk:input():audio(i):name()) == 0, "cannot route src into vesk") end
-- The effect's outputs come with its audio inputs; the instrument's with the plug-in.
local audioOut = vesk:n_outputs():n_audio()
assert(audioOut == 2, name .. " gives its track " .. audioOut .. " audio outputs, not 2")

-- NOTE mode, a release of 0.05 s (the host's view: normalised for VST 2.4, the value itself for LV2 and VST3).
local insert = vesk:nth_plugin(0):to_insert()
assert(ARDOUR.LuaAPI.set_plugin_insert_param(insert, 0, 0.0), "cannot set perfomance mode")
assert(ARDOUR.LuaAPI.set_plugin_insert_param(insert, 42, format and 0.05 or 0.038730), "cannot set env R")

local keyboard
local _, ports = Session:engine():get_ports(ARDOUR.DataType("midi"), ARDOUR.PortList())
for p in ports[2]:iter() do
  if p:name() == "x-virtual-keyboard" then keyboard = p:to_asyncmidiport() end
end
assert(keyboard and not keyboard:isnil(), "no virtual keyboard port")
vesk:input():midi(0):disconnect_all()
assert(vesk:input():midi(0):connect(keyboard:name()) == 0, "cannot connect the keyboard")

local parser = ARDOUR.RawMidiParser()
local function send(bytes)
  for i = 1, #bytes do
    if parser:process_byte(bytes[i]) then keyboard:write(parser:midi_buffer(), parser:buffer_size(), 0) end
  end
end
local function wait(seconds) ARDOUR.LuaAPI.usleep(math.floor(seconds * 1e6)) end

for _, t in ipairs({src, vesk}) do t:rec_enable_control():set_value(1, PBD.GroupControlDisposition.NoGroup) end
Session:maybe_enable_record(false)
Session:request_roll(ARDOUR.TransportRequestSource.TRS_UI)
-- The roll starts when the host gets to it; the notes wait until it records.
for _ = 1, 100 do
  if Session:actively_recording() then break end
  wait(0.05)
end
assert(Session:actively_recording(), "the session does not record")
wait(1.0)
send({0x90, 69, 100}); wait(1.0); send({0x80, 69, 0})  -- A4, 440 Hz
wait(0.7)
send({0x90, 57, 100}); wait(1.0); send({0x80, 57, 0})  -- A3, 220 Hz
wait(1.0)
Session:request_stop(false, false, ARDOUR.TransportRequestSource.TRS_UI)
wait(0.5)
for _, t in ipairs({src, vesk}) do t:rec_enable_control():set_value(0, PBD.GroupControlDisposition.NoGroup) end

-- "mix" (parameter 93) from 1 down to 0.3 and back over the second note.
local list, control = ARDOUR.LuaAPI.plugin_automation(vesk:nth_plugin(0), 93)
assert(not list:isnil(), "no automation for mix")
local rate = Session:nominal_sample_rate()
local function at(seconds) return Temporal.timepos_t(math.floor(seconds * rate)) end
control:add(at(0.0), 1.0, false, true)
control:add(at(2.7), 1.0, false, true)
control:add(at(3.2), 0.3, false, true)
control:add(at(3.7), 1.0, false, true)
local mix = insert:to_automatable():automation_control(Evoral.Parameter(ARDOUR.AutomationType.PluginAutomation, 0, 93), false)
assert(not mix:isnil(), "no control for mix")
mix:set_automation_state(ARDOUR.AutoState.Play)

local regions = 0
for _, t in ipairs({src, vesk}) do
  for _ in t:playlist():region_list():iter() do regions = regions + 1 end
end
assert(regions == 2, "recorded " .. regions .. " regions, not 2")
Session:save_state("", false, false, false, false, false)
close_session()
print("ardour: recorded input and notes, automated mix, saved")
