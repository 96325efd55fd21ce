-- The bunny-mark scene for LÖVE 11: a 1280x720 window, no vsync, no sound device.
function love.conf(t)
    t.window.title = "LÖVE bench"
    t.window.width = 1280
    t.window.height = 720
    t.window.vsync = 0
    t.modules.audio = false
    t.modules.sound = false
    t.modules.joystick = false
end
