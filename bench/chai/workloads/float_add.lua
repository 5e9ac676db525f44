-- 6 million floating steps with additions and comparisons on floats, no conversions in the loop.
local small = 0.0
local large = 0.0
for x = 0.0, 2999999.5, 0.5 do
  if x > 1000000.0 then large = large + 0.5 else small = small + 0.25 end
end
print(math.floor(small + large))
