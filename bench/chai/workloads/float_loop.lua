-- 100,000 floating steps with conversions between int and double and nested ifs.
local int = math.floor
local function double(x) return x + 0.0 end
local total = 0
local i = 0.0
while i < 10000.0 do
  total = int(total + int(double(i) + int(10)))
  if i < 9000.0 then
    total = int(total + double(11))
    if i > double(4000.0) then total = int(total + double(10)) end
  end
  i = i + 0.1
end
print(total)
