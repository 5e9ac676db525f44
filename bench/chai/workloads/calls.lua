-- Two million calls of a one-line Lua function from a while loop.
local function step(x) return x % 7 + 1 end
local total = 0
local i = 0
while i < 2000000 do
  total = total + step(i)
  i = i + 1
end
print(total)
