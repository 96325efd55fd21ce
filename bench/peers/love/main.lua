-- love <this folder> <sprites|rects> <count> <seconds> <image>: draws the scene of
-- bench/csharp/BunnyMark, then prints "fps <value>" for the frames after a warm-up.
-- LÖVE's own loop sleeps 1 ms a frame, as orvane's does.
local kind, count, seconds = "sprites", 1000, 5
local image
local frame = 0
local startTime, countFrom, countStart
local warmUp = 1.5

function love.load(args)
    kind = args[1] or kind
    count = tonumber(args[2]) or count
    seconds = tonumber(args[3]) or seconds
    local file = assert(io.open(args[4], "rb"))
    local data = love.filesystem.newFileData(file:read("*a"), "bunny.png")
    file:close()
    image = love.graphics.newImage(love.image.newImageData(data))
    image:setFilter("nearest", "nearest")
    startTime = love.timer.getTime()
end

function love.update()
    local now = love.timer.getTime()
    if countStart == nil and now - startTime >= warmUp then
        countStart, countFrom = now, frame
    elseif countStart ~= nil and now - countStart >= seconds then
        io.write(string.format("fps %.2f\n", (frame - countFrom) / (now - countStart)))
        io.flush()
        love.event.quit()
    end
end

function love.draw()
    frame = frame + 1
    local sprites = kind == "sprites"
    for i = 0, count - 1 do
        local x = (i * 37 + frame) % 1248
        local y = (i * 53 + frame) % 688
        if sprites then
            love.graphics.draw(image, x, y, 0, 2, 2)
        else
            love.graphics.setColor((60 + i % 190) / 255, 90 / 255, 140 / 255)
            love.graphics.rectangle("fill", x, y, 32, 32)
        end
    end
    love.graphics.setColor(1, 1, 1)
end
