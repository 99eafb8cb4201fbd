tostring = function() return {} end print(1) screenWidth = 2
