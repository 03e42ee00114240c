-- Run by ardour-check.sh inside Ardour's headless Lua session tool: the
-- plug-in goes on a track of a new session, plays with two parameters
-- changed, and must come back with them after the session is saved and
-- loaded again.
local dir = os.getenv("VESK_SESSION")
assert(AudioEngine:set_backend("None (Dummy)", "", ""), "no dummy audio engine")
assert(create_session(dir, "vesk", 48000), "cannot create a session")
assert(AudioEngine:running(), "the engine is not running")

local plugin = ARDOUR.LuaAPI.new_plugin(Session, "Vesk", ARDOUR.PluginType.LXVST, "")
assert(not plugin:isnil(), "the host did not find the plug-in")
local track = Session:new_audio_track(2, 2, nil, 1, "vesk", ARDOUR.PresentationInfo.max_order,
                                      ARDOUR.TrackMode.Normal, true):front()
assert(track:add_processor_by_index(plugin, 0, nil, true) == 0, "the plug-in did not fit on the track")

-- The host works in normalised values: play rate -2.5 of -16..16, overlap
-- 0.875 of 0..3.5.
local insert = plugin:to_insert()
assert(ARDOUR.LuaAPI.set_plugin_insert_param(insert, 8, 0.421875))
assert(ARDOUR.LuaAPI.set_plugin_insert_param(insert, 34, 0.25))
Session:request_roll(ARDOUR.TransportRequestSource.TRS_UI)
ARDOUR.LuaAPI.usleep(1500000)
assert(insert:active(), "the plug-in is not active")
Session:save_state("", false, false, false, false, false)
close_session()

assert(load_session(dir, "vesk"), "cannot load the saved session")
local found = false
for route in Session:get_routes():iter() do
  local p = route:nth_plugin(0)
  if not p:isnil() and p:name() == "Vesk" then
    local i = p:to_insert()
    local rate, overlap = ARDOUR.LuaAPI.get_plugin_insert_param(i, 8), ARDOUR.LuaAPI.get_plugin_insert_param(i, 34)
    assert(rate == 0.421875 and overlap == 0.25, "restored " .. rate .. " and " .. overlap)
    found = true
  end
end
assert(found, "the plug-in did not come back with the session")
close_session()
print("ardour: loaded, played, saved and restored")
