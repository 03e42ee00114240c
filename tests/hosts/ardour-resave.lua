-- Run by ardour-sound.sh: loads the session, so the plug-in restores its
-- state from it, and saves it again; the next export plays what came back.
local dir = os.getenv("VESK_SESSION")
assert(AudioEngine:set_backend("None (Dummy)", "", ""), "no dummy audio engine")
assert(load_session(dir, "vesk"), "cannot load the saved session")
Session:save_state("", false, false, false, false, false)
close_session()
print("ardour: loaded and saved again")
