-- 600,000 setter calls writing two fields and 600,000 getter calls reading them.
local Point = {}
Point.__index = Point
function Point.new() return setmetatable({x = 0, y = 0}, Point) end
function Point:set_xy(a, b) self.x = a; self.y = b end
function Point:sum() return self.x + self.y end
local p = Point.new()
local total = 0
for i = 0, 599999 do
  p:set_xy(i % 100, 3)
  total = total + p:sum()
end
print(total)
