-- Veldmarrow display settings. This file is a Lua script, run once when the
-- program starts; it must set the five values below. A value left out counts
-- as 0 (numbers) or false (switches), so keep all five.

-- Window size in pixels.
screenWidth = 1024
screenHeight = 768

-- true: take over the whole screen; false: open a window.
fullscreen = false

-- Multisample anti-aliasing: 0 turns it off, 2 or 4 smooth the edges
-- (the graphics driver must offer that many samples, or the program stops
-- with exit status 3).
antialiasing = 0

-- true: wait for the display's refresh before each new picture (no tearing,
-- and the frame rate stays at the display's).
vsync = true

-- Keep the world in this file: play resumes where it ended, with every hole
-- dug. Remove the two dashes to use it (a name without a folder is taken
-- from the program's working folder). --world FILE on the command line wins.
-- worldFile = "my.world"

-- Playing together (veldmarrow --serve FILE, veldmarrow --join HOST): the
-- name you join under, and for a server the password players must give
-- and how many may play at once (8 unless set). The command line wins.
-- playerName = "Mirra"
-- serverPassword = "kettle"
-- serverPlayers = 8

-- Anything printed here goes to log.txt.
print("settings.lua: " .. screenWidth .. "x" .. screenHeight)
