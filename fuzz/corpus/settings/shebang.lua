#!/usr/bin/lua
screenHeight = "600"
addMapLoadedCallbacks("a", 2, true)
