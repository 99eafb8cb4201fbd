screenWidth = 1024
screenHeight = 768
fullscreen = false
antialiasing = 4
vsync = true
print("ok", 1, nil, true)
