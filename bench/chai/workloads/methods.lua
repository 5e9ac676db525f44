-- 100,000 method calls on an object, each reading two fields.
local Point = {}
Point.__index = Point
function Point.new(a, b) return setmetatable({x = a, y = b}, Point) end
function Point:sum() return self.x + self.y end
local p = Point.new(1, 2)
local total = 0
for i = 0, 99999 do
  total = total + p:sum()
end
print(total)
