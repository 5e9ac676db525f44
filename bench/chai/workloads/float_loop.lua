-- 1.5 million floating steps with conversions to integers and nested ifs.
local floor = math.floor
local total = 0
-- The sums of 0.1 run a little above each tenth here, so this ends where i < 150000.0 does.
for i = 0.0, 149999.95, 0.1 do
  total = total + floor(i + 10)
  if i < 90000.0 then
    total = total + 11
    if i > 40000.0 then total = total + 10 end
  end
end
print(total)
