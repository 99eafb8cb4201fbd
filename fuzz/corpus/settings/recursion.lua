local function f() return f() + 1 end screenWidth = 3 f()
