screenWidth = 1e300 screenHeight = -5e9 antialiasing = 0/0 fullscreen = 0 vsync = "no"
