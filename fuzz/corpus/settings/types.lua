screenWidth = {} screenHeight = true antialiasing = "12" vsync = 0 fullscreen = nil
