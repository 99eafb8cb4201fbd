screenWidth = 5 while true do end
