screenWidth = = 3
